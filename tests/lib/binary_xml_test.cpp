#include "lib/binary_xml.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace dlx;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes SaveBinary(TDLXXMLDocument& document) {
  TDLXMemoryStream out;
  document.SaveToStream(out, TDLXXMLSaveSettings{0, 0, 0, 0});
  return Bytes(out.Memory(), out.Memory() + out.Size());
}

void LoadBytes(TDLXXMLDocument& document, const Bytes& bytes) {
  TDLXMemoryStream stream(bytes.data(), bytes.size());
  document.LoadFromStream(stream);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

const Bytes kSxml = {'S', 'X', 'M', 'L'};
const Bytes kBxml = {'B', 'X', 'M', 'L'};

Bytes Int64(int64_t value) {
  Bytes out;
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
  return out;
}

Bytes Int32(int32_t value) {
  Bytes out;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
  return out;
}

// A "SXML" stream from a tree section and a string table.
Bytes Sxml(const Bytes& tree, const Bytes& table) {
  return Concat({kSxml, Int64(static_cast<int64_t>(tree.size())), tree, table});
}

template <typename Exception>
void ExpectLoadFails(const Bytes& bytes, const char* what) {
  TDLXXMLDocument document;
  EXPECT_THROW(LoadBytes(document, bytes), Exception) << what;
}

// Arbitrary trees: any name bytes (case variants included), any UTF-16 code units in values.
void FillRandom(TDLXXMLNode& node, std::mt19937& random, int depth) {
  static const char* const kNames[] = {"r", "R", "a", "", "name with space", "\xFF\x01"};
  auto below = [&](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
  auto text = [&] {
    String value;
    const int length = below(3) == 0 ? 0 : below(200);
    for (int i = 0; i < length; ++i) value.push_back(static_cast<Char>(random() & 0xFFFF));
    return value;
  };
  for (int i = below(4); i > 0; --i) node.Attributes().Add(kNames[below(6)], text());
  node.NodeValue = text();
  if (depth < 5) {
    for (int i = below(5); i > 0; --i) FillRandom(*node.Add(kNames[below(6)]), random, depth + 1);
  }
}

}  // namespace

TEST(VarUInt, SevenBitGroupsLowestFirst) {
  const std::pair<uint32_t, Bytes> cases[] = {{0, {0x00}},
                                              {127, {0x7F}},
                                              {128, {0x80, 0x01}},
                                              {300, {0xAC, 0x02}},
                                              {0xFFFFFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0x0F}}};
  for (const auto& [value, bytes] : cases) {
    TDLXMemoryStream out;
    WriteVarUInt(out, value);
    EXPECT_EQ(Bytes(out.Memory(), out.Memory() + out.Size()), bytes) << value;
  }
}

TEST(SxmlWriter, ExactBytesOfASmallDocument) {
  TDLXXMLDocument d;
  d.Add("r")->Attributes().Add("a", u"x");
  const Bytes expected = {0x53, 0x58, 0x4D, 0x4C, 0x08, 0,    0,    0,    0,    0,    0,    0,   0x01,
                          0x00, 0x01, 0x01, 0x01, 0x01, 0x78, 0x00, 0x02, 0x01, 0x72, 0x01, 0x61};
  EXPECT_EQ(SaveBinary(d), expected);
}

TEST(SxmlWriter, NamesDifferingInCaseGetSeparateEntriesAndEmptyElementsOnlyFlags) {
  TDLXXMLDocument d;
  TDLXXMLNode* r = d.Add("r");
  r->Add("R");
  r->Add("r");
  // root: index 0, flags 2, two children; child R: index 1, flags 0; child r: index 0, flags 0.
  const Bytes tree = {0x01, 0x00, 0x02, 0x02, 0x01, 0x00, 0x00, 0x00};
  const Bytes table = {0x02, 0x01, 'r', 0x01, 'R'};
  EXPECT_EQ(SaveBinary(d), Sxml(tree, table));
}

TEST(SxmlWriter, ValuesAreUtf16LittleEndianAndNamesTakeIndicesDepthFirst) {
  TDLXXMLDocument d;
  TDLXXMLNode* r = d.Add("r");
  r->NodeValue = u"\u0416";
  r->Add("c")->Attributes().Add("k", u"");
  r->Attributes().Add("z", u"");
  // root: name 0, flags 7, value (1 unit 16 04), 1 attribute (z = index 1, empty), 1 child;
  // child: name 2, flags 1, 1 attribute (k = index 3, empty).
  const Bytes tree = {0x01, 0x00, 0x07, 0x01, 0x16, 0x04, 0x01, 0x01,
                      0x00, 0x01, 0x02, 0x01, 0x01, 0x03, 0x00};
  const Bytes table = {0x04, 0x01, 'r', 0x01, 'z', 0x01, 'c', 0x01, 'k'};
  EXPECT_EQ(SaveBinary(d), Sxml(tree, table));
}

TEST(SxmlReader, ReadsTheWrittenExample) {
  TDLXXMLDocument d;
  LoadBytes(d, {0x53, 0x58, 0x4D, 0x4C, 0x08, 0,    0,    0,    0,    0,    0,    0,   0x01,
                0x00, 0x01, 0x01, 0x01, 0x01, 0x78, 0x00, 0x02, 0x01, 0x72, 0x01, 0x61});
  ASSERT_EQ(d.Count(), 1);
  EXPECT_EQ(d.Items(0)->NodeName, "r");
  EXPECT_EQ(d.Items(0)->Attributes().GetValue("a"), u"x");
}

TEST(SxmlReader, GeneratedTreesRoundTrip) {
  std::mt19937 random(7);
  for (int round = 0; round < 40; ++round) {
    TDLXXMLDocument original;
    FillRandom(*original.Add("root"), random, 0);
    TDLXXMLDocument loaded;
    LoadBytes(loaded, SaveBinary(original));
    ASSERT_TRUE(loaded.Equals(original)) << "round " << round;
    // Attribute order is part of the round trip, which Equals does not check.
    std::vector<std::pair<TDLXXMLNode*, TDLXXMLNode*>> work{{&loaded, &original}};
    while (!work.empty()) {
      auto [a, b] = work.back();
      work.pop_back();
      for (int i = 0; i < b->Attributes().Count(); ++i) {
        ASSERT_EQ(a->Attributes().Items(i)->Name, b->Attributes().Items(i)->Name);
      }
      for (int i = 0; i < b->Count(); ++i) work.emplace_back(a->Items(i), b->Items(i));
    }
  }
}

TEST(SxmlReader, ZeroOrNegativeCountsReadAsEmpty) {
  TDLXXMLDocument d;
  LoadBytes(d, Sxml({0x00}, {0x00}));
  EXPECT_EQ(d.Count(), 0);
  // A count whose 32 bits are negative (0xFFFFFFFF) is an empty list as well.
  LoadBytes(d, Sxml({0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, {0x00}));
  EXPECT_EQ(d.Count(), 0);
  // Value length 0 with the value flag: an empty value.
  LoadBytes(d, Sxml({0x01, 0x00, 0x04, 0x00}, {0x01, 0x01, 'r'}));
  ASSERT_EQ(d.Count(), 1);
  EXPECT_EQ(d.Items(0)->NodeValue, u"");
}

TEST(SxmlReader, LeavesTheStreamAfterTheTreeSection) {
  TDLXXMLDocument source;
  source.Add("r")->NodeValue = u"v";
  Bytes bytes = Concat({{'x', 'y'}, SaveBinary(source)});
  TDLXMemoryStream stream(bytes.data(), bytes.size());
  stream.SetPosition(2);
  TDLXXMLDocument d;
  d.LoadFromStream(stream);
  EXPECT_TRUE(d.Equals(source));
  // "xy", signature, length, then a tree of 6 bytes: one node, index 0, flags 4, length 1, "v".
  EXPECT_EQ(stream.GetPosition(), 2 + 4 + 8 + 6);
}

TEST(SxmlReader, SecondTopLevelElementRaises) {
  TDLXXMLDocument d;
  try {
    LoadBytes(d, Sxml({0x02, 0x00, 0x00, 0x00, 0x00}, {0x01, 0x01, 'r'}));
    FAIL() << "no exception";
  } catch (const EDLXXMLDocument& e) {
    EXPECT_EQ(e.Message(), u"Only one Root available");
  }
  EXPECT_EQ(d.Count(), 1) << "what was read stays";
}

TEST(SxmlReader, CorruptCountsFailAtOnceWithTheStreamReadError) {
  const Bytes table = {0x01, 0x01, 'r'};
  // 2^31 - 1 nodes in a tree of five bytes.
  ExpectLoadFails<EDLXStreamReadError>(Sxml({0xFF, 0xFF, 0xFF, 0xFF, 0x07}, table), "node count");
  ExpectLoadFails<EDLXStreamReadError>(Sxml({0x01, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x07}, table),
                                       "attribute count");
  ExpectLoadFails<EDLXStreamReadError>(Sxml({0x01, 0x00, 0x02, 0xF0, 0xFF, 0xFF, 0xFF, 0x07}, table),
                                       "child count");
  ExpectLoadFails<EDLXStreamReadError>(Sxml({0x01, 0x00, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0x07}, table),
                                       "value length");
  ExpectLoadFails<EDLXStreamReadError>(Sxml({0x00}, {0xFF, 0xFF, 0xFF, 0xFF, 0x07}), "table count");
  ExpectLoadFails<EDLXStreamReadError>(Sxml({0x00}, {0x01, 0xFF, 0xFF, 0x7F}), "name length");
  ExpectLoadFails<EDLXStreamReadError>(Concat({kSxml, Int64(1000), {0x00, 0x00}}),
                                       "tree length past the end");
  ExpectLoadFails<EDLXStreamReadError>(Concat({kSxml, Int64(-8), {0x00, 0x00}}), "negative tree length");
}

TEST(SxmlReader, NameIndexOutsideTheTableIsCorrupt) {
  ExpectLoadFails<EDLXBinaryXMLError>(Sxml({0x01, 0x01, 0x00}, {0x01, 0x01, 'r'}), "element name");
  ExpectLoadFails<EDLXBinaryXMLError>(Sxml({0x01, 0x00, 0x01, 0x01, 0x05, 0x00}, {0x01, 0x01, 'r'}),
                                      "attribute name");
  ExpectLoadFails<EDLXBinaryXMLError>(Sxml({0x01, 0x00, 0x00}, {0x00}), "empty table");
  ExpectLoadFails<EDLXBinaryXMLError>(
      Sxml({0x01, 0x80, 0x80, 0x80, 0x80, 0x80, 0x00, 0x00}, {0x01, 0x01, 'r'}),
      "integer longer than 32 bits");
}

// A long name referenced by many tiny nodes would expand a small stream enormously.
TEST(SxmlReader, NameExpansionIsBounded) {
  Bytes table(4 + 60000, 'n');  // one entry of 60000 bytes
  const uint8_t head[] = {0x01, 0xE0, 0xD4, 0x03};
  std::copy(std::begin(head), std::end(head), table.begin());
  constexpr int kChildren = 40000;  // 2.4 GB of names if every node copied the long one
  Bytes tree = {0x01, 0x00, 0x02, 0xC0, 0xB8, 0x02};
  for (int i = 0; i < kChildren; ++i) tree.insert(tree.end(), {0x00, 0x00});
  ExpectLoadFails<EDLXBinaryXMLError>(Sxml(tree, table), "name budget");
}

TEST(SxmlReader, EveryTruncationFailsWithTheStreamReadErrorOrLoadsEmpty) {
  TDLXXMLDocument source;
  std::mt19937 random(3);
  FillRandom(*source.Add("root"), random, 2);
  const Bytes bytes = SaveBinary(source);
  for (size_t n = 0; n < bytes.size(); ++n) {
    TDLXXMLDocument d;
    const Bytes prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
    if (n < 5) {
      LoadBytes(d, prefix);
      EXPECT_EQ(d.Count(), 0);
    } else {
      EXPECT_THROW(LoadBytes(d, prefix), EDLXStreamReadError) << n;
    }
  }
}

TEST(BxmlReader, ReadsTheLegacyLayout) {
  // Root "r": value "hi", attribute k = "v", one child "c" with no content.
  const Bytes bytes = Concat({kBxml,
                              Int32(1),
                              {0x01, 0x00, 'r', 0x07},
                              Int32(2),
                              {'h', 0, 'i', 0},
                              Int32(1),
                              {0x01, 0x00, 'k', 0x01, 0x00, 'v', 0x00},
                              Int32(1),
                              {0x01, 0x00, 'c', 0x00}});
  TDLXXMLDocument d;
  LoadBytes(d, bytes);
  ASSERT_EQ(d.Count(), 1);
  TDLXXMLNode* r = d.Items(0);
  EXPECT_EQ(r->NodeName, "r");
  EXPECT_EQ(r->NodeValue, u"hi");
  EXPECT_EQ(r->Attributes().GetValue("k"), u"v");
  ASSERT_EQ(r->Count(), 1);
  EXPECT_EQ(r->Items(0)->NodeName, "c");

  for (size_t n = 5; n < bytes.size(); ++n) {
    TDLXXMLDocument partial;
    EXPECT_THROW(LoadBytes(partial, Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n))),
                 EDLXStreamReadError)
        << n;
  }
}

TEST(BxmlReader, NegativeCountsAreEmptyAndHugeOnesFailAtOnce) {
  TDLXXMLDocument d;
  LoadBytes(d, Concat({kBxml, Int32(-5)}));
  EXPECT_EQ(d.Count(), 0);
  LoadBytes(d, Concat({kBxml, Int32(1), {0x01, 0x00, 'r', 0x04}, Int32(-1)}));
  ASSERT_EQ(d.Count(), 1);
  EXPECT_EQ(d.Items(0)->NodeValue, u"");
  ExpectLoadFails<EDLXStreamReadError>(Concat({kBxml, Int32(0x7FFFFFFF), {0, 0, 0}}), "node count");
  ExpectLoadFails<EDLXStreamReadError>(Concat({kBxml, Int32(1), {0x01, 0x00, 'r', 0x01}, Int32(0x40000000)}),
                                       "attribute count");
  ExpectLoadFails<EDLXStreamReadError>(Concat({kBxml, Int32(1), {0x01, 0x00, 'r', 0x04}, Int32(0x7FFFFFFF)}),
                                       "value length");
  ExpectLoadFails<EDLXStreamReadError>(Concat({kBxml, Int32(1), {0xFF, 0xFF, 'r', 0x00}}), "name length");
}
