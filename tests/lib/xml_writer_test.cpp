#include <gtest/gtest.h>

#include <random>
#include <string>

#include "lib/xml_document.h"

using namespace dlx;

namespace {

std::string SaveText(TDLXXMLDocument& document, uint8_t attributesOnNewLines, uint8_t indent,
                     uint8_t newLines) {
  TDLXMemoryStream out;
  document.SaveToStream(out, TDLXXMLSaveSettings{1, attributesOnNewLines, indent, newLines});
  return std::string(reinterpret_cast<const char*>(out.Memory()), out.Size());
}

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";

void BuildSample(TDLXXMLDocument& document) {
  TDLXXMLNode* r = document.Add("r");
  r->Attributes().Add("a", u"1&2");
  r->Add("c")->NodeValue = u"x";
  r->Add("e");
}

// Random trees whose text survives the text form: values drawn from characters that include
// everything the writer must escape or preserve, but no ';' (so no value looks like a reference
// that the writer deliberately copies unchanged).
class TreeGenerator {
 public:
  explicit TreeGenerator(uint32_t seed) : random_(seed) {}

  void Fill(TDLXXMLDocument& document) {
    TDLXXMLNode* root = document.Add(Name());
    Fill(*root, 0);
  }

 private:
  int Below(int n) { return static_cast<int>(random_() % static_cast<uint32_t>(n)); }

  std::string Name() {
    static const char* const kNames[] = {"a", "B", "item", "x-y", "ns:el", "File", "file", "_1"};
    return kNames[Below(8)];
  }

  String Text() {
    static const String kAlphabet = u"ab Z09&<>\"'\\\t\r\n=/?!-[]\u00E9\u0416\u4E2D";
    String text;
    const int length = Below(4) == 0 ? 0 : Below(12);
    for (int i = 0; i < length; ++i)
      text.push_back(kAlphabet[static_cast<size_t>(Below(int(kAlphabet.size())))]);
    return text;
  }

  void Fill(TDLXXMLNode& node, int depth) {
    const int attributes = Below(4);
    for (int i = 0; i < attributes; ++i) node.Attributes().Add(Name(), Text());
    node.NodeValue = Text();
    const int children = depth < 4 ? Below(4) : 0;
    for (int i = 0; i < children; ++i) Fill(*node.Add(Name()), depth + 1);
  }

  std::mt19937 random_;
};

}  // namespace

TEST(XMLTextWriter, CompactForm) {
  TDLXXMLDocument d;
  BuildSample(d);
  EXPECT_EQ(SaveText(d, 0, 0, 0), kDeclaration + "<r a=\"1&amp;2\"><c>x</c><e/></r>");
}

TEST(XMLTextWriter, AllLayoutOptions) {
  TDLXXMLDocument d;
  BuildSample(d);
  EXPECT_EQ(SaveText(d, 1, 1, 1),
            kDeclaration + "<r\r\n\ta=\"1&amp;2\"\r\n>\r\n\t<c>x</c>\r\n\t<e/>\r\n</r>\r\n");
  EXPECT_EQ(SaveText(d, 0, 1, 1), kDeclaration + "<r a=\"1&amp;2\">\r\n\t<c>x</c>\r\n\t<e/>\r\n</r>\r\n");
  EXPECT_EQ(SaveText(d, 1, 0, 0), kDeclaration + "<r\r\n\ta=\"1&amp;2\"><c>x</c><e/></r>");
}

TEST(XMLTextWriter, ValuesWithOuterOrLineBreakingWhiteSpaceArePreserved) {
  TDLXXMLDocument d;
  TDLXXMLNode* r = d.Add("r");
  r->NodeValue = u" v ";
  r->Add("c")->NodeValue = u"a\nb";
  r->Add("e")->NodeValue = u"in side";
  EXPECT_EQ(SaveText(d, 0, 1, 1), kDeclaration +
                                      "<r xml:space=\"preserve\"> v <c xml:space=\"preserve\">a\nb</c>\r\n"
                                      "<e>in side</e>\r\n</r>\r\n");
}

TEST(XMLTextWriter, NonAsciiValuesAreUtf8AndNamesRawBytes) {
  TDLXXMLDocument d;
  TDLXXMLNode* r = d.Add("\xC3\xA9l");
  r->Attributes().Add("v", u"\u0416");
  r->NodeValue = u"\u00E9";
  EXPECT_EQ(SaveText(d, 0, 0, 0), kDeclaration + "<\xC3\xA9l v=\"\xD0\x96\">\xC3\xA9</\xC3\xA9l>");
}

TEST(XMLTextWriter, GeneratedTreesSurviveWriteAndReadWithEveryOption) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    TDLXXMLDocument original;
    TreeGenerator(seed).Fill(original);
    for (int options = 0; options < 8; ++options) {
      const std::string text = SaveText(original, options & 1, (options >> 1) & 1, (options >> 2) & 1);
      TDLXMemoryStream stream(text.data(), text.size());
      TDLXXMLDocument loaded(stream);
      ASSERT_TRUE(loaded.Equals(original)) << "seed " << seed << " options " << options << "\n" << text;
    }
  }
}

// Nesting inside a preserved element: the reader keeps white space until the next end tag, so no
// line break or indent may land in a nested element's text.
TEST(XMLTextWriter, NestedElementsInsidePreservedOnesKeepTheirValues) {
  TDLXXMLDocument d;
  TDLXXMLNode* a = d.Add("a");
  a->NodeValue = u" lead";
  TDLXXMLNode* b = a->Add("b");
  b->NodeValue = u"v";
  b->Add("c")->Add("d")->NodeValue = u"w";
  const std::string text = SaveText(d, 1, 1, 1);
  TDLXMemoryStream stream(text.data(), text.size());
  TDLXXMLDocument loaded(stream);
  EXPECT_TRUE(loaded.Equals(d)) << text;
}
