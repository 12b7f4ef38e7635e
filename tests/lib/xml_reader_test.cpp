#include <gtest/gtest.h>

#include <string>

#include "lib/xml_document.h"

using namespace dlx;

namespace {

// Loads 8-bit text through the stream path, the way the installer loads its script.
void Load(TDLXXMLDocument& document, std::string_view text, TDLXXMLEncoding encoding = {}) {
  TDLXMemoryStream stream(text.data(), text.size());
  document.LoadFromStream(stream, encoding);
}

TDLXXMLNode& Root(TDLXXMLDocument& document) {
  EXPECT_EQ(document.Count(), 1);
  static TDLXXMLNode empty;
  return document.Count() > 0 ? *document.Items(0) : empty;
}

}  // namespace

TEST(XMLTextReader, AttributesQuotedBareAndWithoutValue) {
  TDLXXMLDocument d;
  Load(d, "<a x=\"1\" y='2' z>t</a>");
  TDLXXMLNode& a = Root(d);
  EXPECT_EQ(a.NodeName, "a");
  ASSERT_EQ(a.Attributes().Count(), 3);
  EXPECT_EQ(a.Attributes().Items(0)->Name, "x");
  EXPECT_EQ(a.Attributes().Items(0)->Value, u"1");
  EXPECT_EQ(a.Attributes().Items(1)->Value, u"2");
  EXPECT_EQ(a.Attributes().Items(2)->Name, "z");
  EXPECT_EQ(a.Attributes().Items(2)->Value, u"");
  EXPECT_EQ(a.NodeValue, u"t");
}

TEST(XMLTextReader, BareValuesAndWordsWhereAnEqualsWasExpected) {
  TDLXXMLDocument d;
  Load(d, "<a k = v w x=\"q\"/>");
  TDLXXMLNode& a = Root(d);
  ASSERT_EQ(a.Attributes().Count(), 3);
  EXPECT_EQ(a.Attributes().GetValue("k"), u"v");
  EXPECT_EQ(a.Attributes().Items(1)->Name, "w");
  EXPECT_EQ(a.Attributes().GetValue("x"), u"q");
}

TEST(XMLTextReader, QuotedValueStopsAtAnAngleBracket) {
  TDLXXMLDocument d;
  Load(d, "<a v='x>y'>");
  EXPECT_EQ(Root(d).Attributes().GetValue("v"), u"x");
}

TEST(XMLTextReader, SpacesAreTrimmedUnlessPreserved) {
  TDLXXMLDocument d;
  Load(d, "<a>  text \r\n </a>");
  EXPECT_EQ(Root(d).NodeValue, u"text");
  Load(d, "<a xml:space=\"preserve\">  text  </a>");
  EXPECT_EQ(Root(d).NodeValue, u"  text  ");
  EXPECT_EQ(Root(d).Attributes().Count(), 0) << "xml:space is consumed";
  Load(d, "<a XML:SPACE=\"Preserve\"><b> in b </b><c> in c </c></a>");
  EXPECT_EQ(Root(d).Items(0)->NodeValue, u" in b ") << "the flag holds until the next end tag";
  EXPECT_EQ(Root(d).Items(1)->NodeValue, u"in c");
  Load(d, "<a xml:space=\"default\"> x </a>");
  EXPECT_EQ(Root(d).NodeValue, u"x");
}

TEST(XMLTextReader, OnlyTheTextBeforeTheFirstChildIsKept) {
  TDLXXMLDocument d;
  Load(d, "<a>one<b/>two</a>");
  EXPECT_EQ(Root(d).NodeValue, u"one");
  EXPECT_EQ(Root(d).Count(), 1);
  Load(d, "<a><b>in</b>after</a>");
  EXPECT_EQ(Root(d).NodeValue, u"");
  EXPECT_EQ(Root(d).Items(0)->NodeValue, u"in");
}

TEST(XMLTextReader, CommentsDropTheTextAroundThem) {
  TDLXXMLDocument d;
  Load(d, "<a>x<!-- c -->y</a>");
  EXPECT_EQ(Root(d).NodeValue, u"");
  Load(d, "<a><!-- c -->y</a>");
  EXPECT_EQ(Root(d).NodeValue, u"");
  Load(d, "<a><!-- <b/> --><c/></a>");
  ASSERT_EQ(Root(d).Count(), 1) << "tags inside a comment are not elements";
  EXPECT_EQ(Root(d).Items(0)->NodeName, "c");
}

TEST(XMLTextReader, CDataIsDecodedLikeText) {
  TDLXXMLDocument d;
  Load(d, "<a><![CDATA[1 &amp; 2]]></a>");
  EXPECT_EQ(Root(d).NodeValue, u"1 & 2");
  Load(d, "<a><![CDATA[<b/> stays text]]></a>");
  EXPECT_EQ(Root(d).NodeValue, u"<b/> stays text");
  EXPECT_EQ(Root(d).Count(), 0);
}

TEST(XMLTextReader, EntitiesInValuesAndAttributes) {
  TDLXXMLDocument d;
  Load(d, "<a>AT&amp;T</a>");
  EXPECT_EQ(Root(d).NodeValue, u"AT&T");
  Load(d, "<a>&#65;&#x42;&foo;</a>");
  EXPECT_EQ(Root(d).NodeValue, u"ABfoo");
  Load(d, "<a>x \\&amp; y</a>");
  EXPECT_EQ(Root(d).NodeValue, u"x &amp; y");
  Load(d, "<a v=\"&lt;&quot;&gt;\"/>");
  EXPECT_EQ(Root(d).Attributes().GetValue("v"), u"<\">");
}

TEST(XMLTextReader, NamesAreRawBytesWithoutEntityDecoding) {
  TDLXXMLDocument d;
  Load(d, "<a&amp;b c&lt;=\"1\"/>");
  EXPECT_EQ(Root(d).NodeName, "a&amp;b");
  EXPECT_EQ(Root(d).Attributes().Items(0)->Name, "c&lt;");
}

TEST(XMLTextReader, EndTagsMatchByNestingOnly) {
  TDLXXMLDocument d;
  Load(d, "<A></B>");
  EXPECT_EQ(Root(d).NodeName, "A");
  Load(d, "<a><b></x><c/></y>");
  TDLXXMLNode& a = Root(d);
  ASSERT_EQ(a.Count(), 2);
  EXPECT_EQ(a.Items(1)->NodeName, "c");
}

TEST(XMLTextReader, SecondTopLevelElementRaises) {
  TDLXXMLDocument d;
  try {
    Load(d, "<r/><s/>");
    FAIL() << "no exception";
  } catch (const EDLXXMLDocument& e) {
    EXPECT_EQ(e.Message(), u"Only one Root available");
  }
  Load(d, "<?xml version=\"1.0\"?><!-- x --><!DOCTYPE r><r/>");
  EXPECT_EQ(Root(d).NodeName, "r");
  Load(d, "<r/></r><s/>");
  EXPECT_EQ(d.Count(), 1) << "an end tag at the top ends the parse";
}

TEST(XMLTextReader, LoadingReplacesThePreviousTree) {
  TDLXXMLDocument d;
  Load(d, "<first/>");
  Load(d, "<second/>");
  EXPECT_EQ(Root(d).NodeName, "second");
  Load(d, "");
  EXPECT_EQ(d.Count(), 0);
}

TEST(XMLTextReader, StreamsShorterThanFiveBytesLoadEmpty) {
  TDLXXMLDocument d;
  Load(d, "<a/>");
  EXPECT_EQ(d.Count(), 0);
  Load(d, "<a/> ");
  EXPECT_EQ(d.Count(), 1);
}

TEST(XMLTextReader, StartsAtTheStreamPosition) {
  const std::string bytes = "junk<r v=\"1\"/>";
  TDLXMemoryStream stream(bytes.data(), bytes.size());
  stream.SetPosition(4);
  TDLXXMLDocument d(stream);
  EXPECT_EQ(Root(d).Attributes().GetValue("v"), u"1");
}

TEST(XMLTextReader, AbandonsTheParseAtATagInsideATag) {
  TDLXXMLDocument d;
  Load(d, "<a><b c=<d/></b><e/></a>");
  TDLXXMLNode& a = Root(d);
  ASSERT_EQ(a.Count(), 1);
  EXPECT_EQ(a.Items(0)->NodeName, "b");
  EXPECT_EQ(a.Items(0)->Count(), 0);
}

TEST(XMLTextReader, UnclosedElementsAreKept) {
  TDLXXMLDocument d;
  Load(d, "<a><b x='1'><c");
  TDLXXMLNode& a = Root(d);
  ASSERT_EQ(a.Count(), 1);
  ASSERT_EQ(a.Items(0)->Count(), 1);
  EXPECT_EQ(a.Items(0)->Items(0)->NodeName, "c");
}

// The reader must stop quietly wherever the input ends: no exception, no read past the buffer
// (the sanitizer build checks the latter).
TEST(XMLTextReader, EveryPrefixOfADocumentLoadsWithoutError) {
  const std::string text =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<!-- c --><r a=\"1\" b='&amp;'>\xC3\xA9t\xC3\xA9"
      "<![CDATA[x]]><s xml:space=\"preserve\"> y </s><t/>\\&lt;</r>";
  for (size_t n = 0; n <= text.size(); ++n) {
    const std::string prefix = text.substr(0, n);
    TDLXXMLDocument d;
    EXPECT_NO_THROW(d.LoadFromString(prefix)) << n;
    EXPECT_LE(d.Count(), 1);
  }
}

TEST(XMLTextReader, InvalidUtf8EmptiesOnlyThatValue) {
  TDLXXMLDocument d;
  d.LoadFromString("<r a=\"\xC3\"><b>ok \xC3\xA9</b><c>\xE2\x82</c><e>\xED\xA0\x80</e></r>");
  TDLXXMLNode& r = Root(d);
  EXPECT_EQ(r.Attributes().GetValue("a"), u"");
  ASSERT_EQ(r.Count(), 3);
  EXPECT_EQ(r.Items(0)->NodeValue, u"ok \u00E9");
  EXPECT_EQ(r.Items(1)->NodeValue, u"") << "truncated sequence";
  EXPECT_EQ(r.Items(2)->NodeValue, u"") << "encoded surrogate";
}

TEST(XMLTextReader, DeclarationSelectsTheEncoding) {
  TDLXXMLDocument d;
  // Without a declaration, LoadFromStream reads ANSI (Windows-1252 here): E9 is e acute.
  Load(d, "<a>caf\xE9</a>");
  EXPECT_EQ(Root(d).NodeValue, u"caf\u00E9");
  Load(d, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>caf\xC3\xA9</a>");
  EXPECT_EQ(Root(d).NodeValue, u"caf\u00E9");
  Load(d, "<?xml version=\"1.0\" encoding=\"windows-1251\"?><a v=\"\xC0\">\xC1\xE2</a>");
  EXPECT_EQ(Root(d).NodeValue, u"\u0411\u0432");
  EXPECT_EQ(Root(d).Attributes().GetValue("v"), u"\u0410");
  // Names are never converted.
  Load(d, "<?xml encoding=\"Windows-1251\"?><\xC0/>");
  EXPECT_EQ(Root(d).NodeName, "\xC0");
}

TEST(XMLTextReader, EncodingChangesOnlyAfterTheDeclaration) {
  TDLXXMLDocument d;
  d.LoadFromString("<r><a>\xC3\xA9</a><?xml encoding=\"iso-8859-1\"?><b>\xC3\xA9</b></r>");
  TDLXXMLNode& r = Root(d);
  ASSERT_EQ(r.Count(), 2);
  EXPECT_EQ(r.Items(0)->NodeValue, u"\u00E9");
  EXPECT_EQ(r.Items(1)->NodeValue, u"\u00C3\u00A9") << "anything but utf-8 and Windows-n means ANSI";
}

TEST(XMLTextReader, ExplicitCodePageSetting) {
  TDLXXMLDocument d;
  const std::string text = "<a>\xE0\xE1</a>";
  TDLXMemoryStream stream(text.data(), text.size());
  d.LoadFromStream(stream, TDLXXMLEncoding{1251, ekCodePage});
  EXPECT_EQ(Root(d).NodeValue, u"\u0430\u0431");
}

TEST(XMLTextReader, AnsiFollowsTheProcessWideCodePage) {
  TDLXXMLDocument d;
  SetXMLAnsiCodePage(1251);
  Load(d, "<a>\xC0</a>");
  SetXMLAnsiCodePage(0);
  EXPECT_EQ(Root(d).NodeValue, u"\u0410");
  Load(d, "<a>\xC0</a>");
  EXPECT_EQ(Root(d).NodeValue, u"\u00C0") << "0 is the system's ANSI code page (Windows-1252 here)";
}

TEST(XMLTextReader, FindByNameIgnoringAsciiCase) {
  TDLXXMLDocument d;
  Load(d, "<r><setup Name=\"n\"/></r>");
  TDLXXMLNode* setup = Root(d).FindNode("SETUP");
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(setup->Attributes().GetValue("name"), u"n");
}

TEST(XMLEntities, DecodeReferencesAndEscapes) {
  EXPECT_EQ(TDLXXMLHelper::DecodeString(u"&lt;&gt;&amp;&quot;&apos;"), u"<>&\"'");
  EXPECT_EQ(TDLXXMLHelper::DecodeString(u"&AMP;"), u"AMP") << "entity names are case-sensitive";
  EXPECT_EQ(TDLXXMLHelper::DecodeString(u"&#x41;&#X61;&#97;"), u"Aaa");
  EXPECT_EQ(TDLXXMLHelper::DecodeString(u"&#x10041;"), u"A") << "truncated to 16 bits";
  EXPECT_EQ(TDLXXMLHelper::DecodeString(u"&#12a;"), String(1, u'\0'));
  EXPECT_EQ(TDLXXMLHelper::DecodeString(u"&#;"), String(1, u'\0'));
  EXPECT_EQ(TDLXXMLHelper::DecodeString(u"&#99999999999;"), String(1, u'\0'));
  EXPECT_EQ(TDLXXMLHelper::DecodeString(u"a & b &; &x y; &amp"), u"a & b &; &x y; &amp");
  EXPECT_EQ(TDLXXMLHelper::DecodeString(u"\\<\\>\\\"\\'\\&\\n\\"), u"<>\"'&\\n\\");
}

TEST(XMLEntities, EncodeKeepsWellFormedReferences) {
  EXPECT_EQ(TDLXXMLHelper::EncodeString(u"a<b>&\"'"), u"a&lt;b&gt;&amp;&quot;&apos;");
  EXPECT_EQ(TDLXXMLHelper::EncodeString(u"&amp; &#65; &x; & ;"), u"&amp; &#65; &x; &amp; ;");
  EXPECT_EQ(TDLXXMLHelper::EncodeString(u"C:\\dir\\"), u"C:\\dir\\");
}

// A backslash in front of a character the reader treats as escapable would vanish on reading; the
// writer turns it into a reference so the text survives.
TEST(XMLEntities, BackslashBeforeAnEscapableCharacterSurvivesEncodeDecode) {
  for (const String text : {u"\\<", u"x\\&y", u"\\\"", u"\\'q", u"\\>", u"\\\\&"}) {
    EXPECT_EQ(TDLXXMLHelper::DecodeString(TDLXXMLHelper::EncodeString(text)), text) << ToUtf8(text);
  }
}
