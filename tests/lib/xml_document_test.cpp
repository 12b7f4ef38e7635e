#include "lib/xml_document.h"

#include <gtest/gtest.h>

#include <memory>

using namespace dlx;

TEST(XMLNames, MatchByAsciiCaseFoldingOnly) {
  EXPECT_TRUE(SameXMLName("setup", "SETUP"));
  EXPECT_TRUE(SameXMLName("lang-family", "LANG-FAMILY"));
  EXPECT_FALSE(SameXMLName("File", "Files"));
  // Bytes above ASCII are compared exactly: "\xE9" (e acute in Windows-1252) is not "\xC9".
  EXPECT_FALSE(SameXMLName("caf\xE9", "CAF\xC9"));
  // '@' and '`' sit next to the letters; folding must not touch them.
  EXPECT_FALSE(SameXMLName("@", "`"));
}

TEST(XMLAttributes, KeepDuplicatesAndAnswerLookupsWithTheFirstMatch) {
  TDLXXMLAttributes attributes;
  attributes.Add("Name", u"first");
  attributes.Add("name", u"second");
  EXPECT_EQ(attributes.Count(), 2);
  EXPECT_EQ(attributes.GetValue("NAME"), u"first");
  EXPECT_EQ(attributes.GetValue("missing"), u"");
  String value = u"untouched";
  EXPECT_FALSE(attributes.TryGetValue("missing", value));
  EXPECT_EQ(value, u"untouched");
  EXPECT_TRUE(attributes.Remove("NAME"));
  EXPECT_EQ(attributes.GetValue("name"), u"second");
  EXPECT_TRUE(attributes.Remove("name"));
  EXPECT_FALSE(attributes.Remove("name"));
  EXPECT_EQ(attributes.Count(), 0);
  EXPECT_EQ(attributes.Items(0), nullptr);
}

TEST(XMLAttributes, EqualityIgnoresOrderButNotValues) {
  TDLXXMLAttributes a, b;
  a.Add("x", u"1");
  a.Add("y", u"2");
  b.Add("Y", u"2");
  b.Add("X", u"1");
  EXPECT_TRUE(a.Equals(b));
  b.Items(0)->Value = u"2 ";
  EXPECT_FALSE(a.Equals(b));
  TDLXXMLAttributes c;
  c.Assign(a);
  EXPECT_TRUE(c.Equals(a));
  c.Add("z", u"");
  EXPECT_FALSE(c.Equals(a));
}

TEST(XMLAttributes, EqualityPairsRepeatedNamesOneToOne) {
  TDLXXMLAttributes a, b, c;
  a.Add("x", u"1");
  a.Add("X", u"2");
  b.Add("x", u"2");
  b.Add("x", u"1");
  c.Add("x", u"1");
  c.Add("x", u"1");
  EXPECT_TRUE(a.Equals(a));
  EXPECT_TRUE(a.Equals(b));
  EXPECT_FALSE(a.Equals(c));
  EXPECT_FALSE(c.Equals(a));
}

TEST(XMLNode, ChildrenLookupAndPaths) {
  TDLXXMLNode root;
  EXPECT_EQ(root.Count(), 0);
  EXPECT_EQ(root.Items(0), nullptr);
  TDLXXMLNode* setup = root.Add("setup");
  TDLXXMLNode* second = root.Add("Setup");
  EXPECT_EQ(setup->Parent(), &root);
  EXPECT_EQ(root.Items(-1), nullptr);
  EXPECT_EQ(root.Items(2), nullptr);
  EXPECT_EQ(root.FindNode("SETUP"), setup) << "the first match wins";
  TDLXXMLNode* found = second;
  EXPECT_FALSE(root.FindNode("license", found));
  EXPECT_EQ(found, nullptr);

  TDLXXMLNode* license = setup->Add("license");
  EXPECT_TRUE(root.FindNode({"SETUP", "License"}, false, found));
  EXPECT_EQ(found, license);
  EXPECT_FALSE(root.FindNode({"setup", "missing"}, false, found));
  EXPECT_FALSE(root.FindNode(std::span<const std::string_view>(), true, found)) << "an empty path fails";

  ASSERT_TRUE(root.FindNode({"setup", "a", "b"}, true, found));
  EXPECT_EQ(found->NodeName, "b");
  EXPECT_EQ(found->Parent()->NodeName, "a");
  EXPECT_EQ(found->Parent()->Parent(), setup);
  EXPECT_EQ(setup->Count(), 2);
}

TEST(XMLNode, IsChildLooksAtEveryLevelBelow) {
  TDLXXMLNode root;
  TDLXXMLNode* a = root.Add("a");
  TDLXXMLNode* b = a->Add("b");
  TDLXXMLNode* c = b->Add("c");
  EXPECT_TRUE(root.IsChild(c));
  EXPECT_TRUE(a->IsChild(b));
  EXPECT_FALSE(c->IsChild(a));
  EXPECT_FALSE(a->IsChild(a));
  EXPECT_FALSE(a->IsChild(nullptr));
}

TEST(XMLNode, SetParentMovesDetachesAndRefusesCycles) {
  TDLXXMLNode root;
  TDLXXMLNode* a = root.Add("a");
  TDLXXMLNode* b = root.Add("b");
  TDLXXMLNode* a1 = a->Add("a1");

  a->SetParent(a1);  // its own descendant: nothing happens
  EXPECT_EQ(a->Parent(), &root);
  a->SetParent(a);
  EXPECT_EQ(a->Parent(), &root);

  a->SetParent(b);
  EXPECT_EQ(root.Count(), 1);
  EXPECT_EQ(root.Items(0), b);
  EXPECT_EQ(b->Items(0), a);
  EXPECT_EQ(a->Parent(), b);

  a1->SetParent(nullptr);
  EXPECT_EQ(a->Count(), 0);
  EXPECT_EQ(a1->Parent(), nullptr);
  std::unique_ptr<TDLXXMLNode> owned(a1);  // detached: the caller owns it now
}

TEST(XMLNode, DestroyingAChildDetachesItFromItsParent) {
  TDLXXMLNode root;
  root.Add("a");
  TDLXXMLNode* b = root.Add("b");
  root.Add("c");
  b->Add("b1");
  delete b;
  ASSERT_EQ(root.Count(), 2);
  EXPECT_EQ(root.Items(0)->NodeName, "a");
  EXPECT_EQ(root.Items(1)->NodeName, "c");
}

TEST(XMLNode, ClearKeepsNameValueAndAttributes) {
  TDLXXMLNode node;
  node.NodeName = "n";
  node.NodeValue = u"v";
  node.Attributes().Add("k", u"1");
  node.Add("x")->Add("y");
  node.Clear();
  EXPECT_EQ(node.Count(), 0);
  EXPECT_EQ(node.NodeName, "n");
  EXPECT_EQ(node.NodeValue, u"v");
  EXPECT_EQ(node.Attributes().Count(), 1);
}

TEST(XMLNode, AssignCopiesDeeplyAndEqualsComparesEverything) {
  TDLXXMLNode source;
  source.NodeName = "r";
  source.NodeValue = u"text";
  source.Attributes().Add("a", u"1");
  TDLXXMLNode* child = source.Add("c");
  child->Attributes().Add("b", u"2");
  child->Add("g")->NodeValue = u"deep";
  source.Add("d");

  TDLXXMLNode copy;
  copy.Add("stale");
  copy.Assign(source);
  EXPECT_TRUE(copy.Equals(source));
  ASSERT_EQ(copy.Count(), 2);
  EXPECT_NE(copy.Items(0), child) << "children are copies, not shared";
  EXPECT_EQ(copy.Items(0)->Items(0)->NodeValue, u"deep");

  copy.Items(0)->Items(0)->NodeValue = u"Deep";
  EXPECT_FALSE(copy.Equals(source)) << "values compare exactly";
  copy.Assign(source);
  copy.Items(1)->NodeName = "D";
  EXPECT_FALSE(copy.Equals(source)) << "names compare exactly in Equals";
  copy.Assign(source);
  copy.Items(1)->Add("extra");
  EXPECT_FALSE(copy.Equals(source));

  TDLXXMLDocument document;
  document.Add("r");
  TDLXXMLNode plain;
  plain.Add("r");
  EXPECT_FALSE(plain.Equals(document)) << "a document and a node are different classes";
}

TEST(XMLNode, AssignFromOwnDescendantKeepsTheSourceAlive) {
  TDLXXMLNode root;
  root.NodeName = "root";
  TDLXXMLNode* a = root.Add("a");
  a->NodeValue = u"va";
  a->Add("b")->Attributes().Add("k", u"v");
  root.Assign(*a);  // clearing root destroys a; the copy must be taken first
  EXPECT_EQ(root.NodeName, "a");
  EXPECT_EQ(root.NodeValue, u"va");
  ASSERT_EQ(root.Count(), 1);
  EXPECT_EQ(root.Items(0)->NodeName, "b");
  EXPECT_EQ(root.Items(0)->Attributes().GetValue("k"), u"v");
}

TEST(XMLDocument, HoldsOneRootUnlessTheFlagIsCleared) {
  TDLXXMLDocument document;
  document.Add("r");
  try {
    document.Add("s");
    FAIL() << "second root accepted";
  } catch (const EDLXXMLDocument& e) {
    EXPECT_EQ(e.Message(), u"Only one Root available");
  }
  TDLXXMLNode* loose = new TDLXXMLNode();
  EXPECT_THROW(loose->SetParent(&document), EDLXXMLDocument);
  EXPECT_EQ(loose->Parent(), nullptr);
  delete loose;
  document.SingleRoot = false;
  document.Add("s");
  EXPECT_EQ(document.Count(), 2);
}

TEST(XMLDocument, SaveRejectsAnUnknownWriter) {
  TDLXXMLDocument document;
  document.Add("r");
  TDLXMemoryStream out;
  TDLXXMLSaveSettings settings;
  settings.Writer = 2;
  EXPECT_THROW(document.SaveToStream(out, settings), EDLXArgumentOutOfRange);
  EXPECT_EQ(out.Size(), 0u);
}

// A hostile file can nest elements very deeply; destroying, copying and comparing the tree must not
// recurse once per level.
TEST(XMLDocument, VeryDeepTreesAreCopiedComparedAndFreedWithoutRecursion) {
  constexpr int kDepth = 200000;
  std::string text;
  for (int i = 0; i < kDepth; ++i) text += "<a>";
  auto document = std::make_unique<TDLXXMLDocument>();
  document->LoadFromString(text);
  int depth = 0;
  for (TDLXXMLNode* n = document.get(); n->Count() > 0; n = n->Items(0)) ++depth;
  EXPECT_EQ(depth, kDepth);
  TDLXXMLDocument copy;
  copy.Assign(*document);
  EXPECT_TRUE(copy.Equals(*document));
  document.reset();
}
