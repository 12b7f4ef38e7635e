#include "core/script/install_script.h"

#include <gtest/gtest.h>

#include <string>

using namespace dlx;

namespace {

// A script with every element of the vocabulary, plus elements that must be ignored.
const char kFullScript[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<!-- ZUVA install script -->\r\n"
    "<install>\r\n"
    "  <setup>\r\n"
    "    <license>\r\n"
    "      <File name=\"Docs\\License.en.rtf\" lang-family=\"en\"/>\r\n"
    "      <File name=\"Lizenz.rtf\" LANG-FAMILY=\"DE\"/>\r\n"
    "      <File name=\"License.rtf\"/>\r\n"
    "    </license>\r\n"
    "  </setup>\r\n"
    "  <product>\r\n"
    "    <Settings>\r\n"
    "      <Item name=\"ProductName\" value=\"ZUVA\"/>\r\n"
    "      <Item name=\"Publisher\" value=\"ZUVA Software &amp; Co\"/>\r\n"
    "      <Item name=\"ProductVersion\" value=\"5.03\"/>\r\n"
    "      <Item name=\"BuildDate\" value=\"01.12.2026\"/>\r\n"
    "      <Setting NAME=\"ProductVersionId\" Value=\"5030\"/>\r\n"
    "      <Item name=\"ProductVersionNo\" value=\"5.0.3.0\"/>\r\n"
    "      <Item name=\"HomePage\" value=\"https://zuva.example/\"/>\r\n"
    "      <Item name=\"Formula\" value=\"a=b\"/>\r\n"
    "    </Settings>\r\n"
    "    <Components>\r\n"
    "      <File name=\"$DEST\\ZUVA.exe\"/>\r\n"
    "      <File name=\"$DEST\\Plugins\\x.dll\"/>\r\n"
    "      <File name=\"$DEST\\a.txt\">b.txt</File>\r\n"
    "      <File name=\"$DEST\\Lang\\Russian.lng\" lang-family=\"ru\"/>\r\n"
    "      <file name=\"$DEST\\lower-case.txt\"/>\r\n"
    "      <Folder name=\"$DEST\\unknown\"/>\r\n"
    "    </Components>\r\n"
    "    <Actions>\r\n"
    "      <File name=\"$DEST\\ZUVA.exe\">RunProduct</File>\r\n"
    "      <File name=\"$LINK\">VisitHomePage</File>\r\n"
    "    </Actions>\r\n"
    "    <Shortcuts>\r\n"
    "      <File name=\"$DESKTOP\\ZUVA.lnk\">$DEST\\ZUVA.exe</File>\r\n"
    "      <File name=\"$STARTMENU\\ZUVA\\ZUVA.lnk\">$DEST\\ZUVA.exe</File>\r\n"
    "    </Shortcuts>\r\n"
    "    <Components>\r\n"
    "      <File name=\"$DEST\\Skins\\Default.skn\"/>\r\n"
    "    </Components>\r\n"
    "    <components><File name=\"$DEST\\wrong-case-group.txt\"/></components>\r\n"
    "  </product>\r\n"
    "  <Product><Components><File name=\"$DEST\\other-product.txt\"/></Components></Product>\r\n"
    "</install>\r\n";

void Load(TInstallerScript& script, std::string_view text) {
  TDLXMemoryStream stream(text.data(), text.size());
  script.LoadFromStream(stream);
}

std::string Names(const TInstallerScriptGroup& group) {
  std::string names;
  for (int i = 0; i < group.Count(); ++i) names += ToUtf8(group.Items(i)->Name) + "|";
  return names;
}

void ExpectFullScript(const TInstallerScript& script) {
  EXPECT_EQ(Names(script.Components()),
            "$DEST\\ZUVA.exe|$DEST\\Plugins\\x.dll|$DEST\\a.txt|$DEST\\Lang\\Russian.lng|"
            "$DEST\\Skins\\Default.skn|");
  EXPECT_EQ(Names(script.Actions()), "$DEST\\ZUVA.exe|$LINK|");
  EXPECT_EQ(Names(script.Shortcuts()), "$DESKTOP\\ZUVA.lnk|$STARTMENU\\ZUVA\\ZUVA.lnk|");
  EXPECT_EQ(Names(script.License()), "Docs\\License.en.rtf|Lizenz.rtf|License.rtf|");

  EXPECT_EQ(script.Components().Items(3)->LangFamily, u"ru");
  EXPECT_EQ(script.Actions().Items(0)->Text, u"RunProduct");
  EXPECT_EQ(script.Shortcuts().Items(1)->Text, u"$DEST\\ZUVA.exe");
  EXPECT_EQ(script.License().Items(1)->LangFamily, u"DE") << "attribute names ignore ASCII case";

  EXPECT_EQ(script.GetValue(u"ProductName"), u"ZUVA");
  EXPECT_EQ(script.GetValue(u"publisher"), u"ZUVA Software & Co");
  EXPECT_EQ(script.GetValue(u"ProductVersion"), u"5.03");
  EXPECT_EQ(script.GetValue(u"BuildDate"), u"01.12.2026");
  EXPECT_EQ(script.GetValue(u"ProductVersionId"), u"5030") << "any element name, attribute names in any case";
  EXPECT_EQ(script.GetValue(u"ProductVersionNo"), u"5.0.3.0");
  EXPECT_EQ(script.GetValue(u"HomePage"), u"https://zuva.example/");
  EXPECT_EQ(script.GetValue(u"Formula"), u"a=b") << "the value runs from the first '='";
  EXPECT_EQ(script.GetValue(u"Missing"), u"");
  EXPECT_EQ(script.Settings().Count(), 8);
}

}  // namespace

TEST(InstallScript, LoadsEveryPartOfTheVocabulary) {
  TInstallerScript script;
  Load(script, kFullScript);
  ExpectFullScript(script);
}

TEST(InstallScript, BinaryFormsLoadTheSameScript) {
  TDLXXMLDocument document;
  document.LoadFromString(kFullScript);
  TDLXMemoryStream binary;
  document.SaveToStream(binary, TDLXXMLSaveSettings{0, 0, 0, 0});
  binary.SetPosition(0);
  TInstallerScript script;
  script.LoadFromStream(binary);
  ExpectFullScript(script);
}

TEST(InstallScript, SourceNameIsTheTextOrTheLastPartOfTheName) {
  TInstallerScript script;
  Load(script, kFullScript);
  const TInstallerScriptGroup& components = script.Components();
  EXPECT_EQ(components.Items(1)->GetSourceName(), u"x.dll");
  EXPECT_EQ(components.Items(2)->GetSourceName(), u"b.txt");
  TInstallerScriptFile file;
  file.Name = u"C:x.bin";
  EXPECT_EQ(file.GetSourceName(), u"x.bin");
  file.Name = u"dir/sub/y.bin";
  EXPECT_EQ(file.GetSourceName(), u"y.bin");
  file.Name = u"plain";
  EXPECT_EQ(file.GetSourceName(), u"plain");
  file.Name = u"$DEST\\dir\\";
  EXPECT_EQ(file.GetSourceName(), u"");
}

TEST(InstallScript, LanguageFamiliesMatchIgnoringCaseAndEmptyMatchesAll) {
  TInstallerScript script;
  Load(script, kFullScript);
  TInstallerScriptFile* entry = nullptr;
  ASSERT_TRUE(script.License().FindByLangFamily(u"de", entry));
  EXPECT_EQ(entry->Name, u"Lizenz.rtf");
  ASSERT_TRUE(script.License().FindByLangFamily(u"EN", entry));
  EXPECT_EQ(entry->Name, u"Docs\\License.en.rtf");
  ASSERT_TRUE(script.License().FindByLangFamily(u"fr", entry));
  EXPECT_EQ(entry->Name, u"License.rtf");

  EXPECT_TRUE(script.Components().Items(0)->MatchesLangFamily(u"ru"));
  EXPECT_TRUE(script.Components().Items(3)->MatchesLangFamily(u"RU"));
  EXPECT_FALSE(script.Components().Items(3)->MatchesLangFamily(u"en"));
  EXPECT_FALSE(script.Components().Items(3)->MatchesLangFamily(u"rus"));

  TInstallerScriptGroup onlyRussian;
  onlyRussian.Add()->LangFamily = u"ru";
  EXPECT_FALSE(onlyRussian.FindByLangFamily(u"en", entry));
  EXPECT_EQ(entry, nullptr);
}

TEST(InstallScript, ScriptWithoutProductLoadsEmpty) {
  TInstallerScript script;
  Load(script, "<install><setup><license>License.rtf</license></setup></install>");
  EXPECT_EQ(script.Components().Count(), 0);
  EXPECT_EQ(script.Actions().Count(), 0);
  EXPECT_EQ(script.Shortcuts().Count(), 0);
  EXPECT_EQ(script.GetValue(u"ProductName"), u"");
  ASSERT_EQ(script.License().Count(), 1);
  EXPECT_EQ(script.License().Items(0)->Name, u"License.rtf");
  EXPECT_EQ(script.License().Items(0)->LangFamily, u"");
  TInstallerScriptFile* entry;
  EXPECT_TRUE(script.License().FindByLangFamily(u"ja", entry));
}

TEST(InstallScript, EmptyAndTinyStreamsLeaveTheScriptEmpty) {
  TInstallerScript script;
  Load(script, "");
  Load(script, "<a/>");
  Load(script, "no tags at all");
  EXPECT_EQ(script.Components().Count() + script.License().Count() + script.Settings().Count(), 0);
}

TEST(InstallScript, LastSettingOfANameWinsIgnoringCase) {
  TInstallerScript script;
  Load(script,
       "<r><product><Settings><s name=\"ProductName\" value=\"A\"/><s name=\"PRODUCTNAME\" value=\"B\"/>"
       "<s value=\"no name\"/><s name=\"NoValue\"/></Settings></product></r>");
  EXPECT_EQ(script.GetValue(u"productname"), u"B");
  ASSERT_EQ(script.Settings().Count(), 4);
  EXPECT_EQ(script.Settings().Strings(2), u"=no name");
  EXPECT_EQ(script.Settings().Strings(3), u"NoValue=");
  EXPECT_EQ(script.GetValue(u""), u"no name");
}

TEST(InstallScript, GroupTextWithoutChildrenIsOneEntry) {
  TInstallerScript script;
  Load(script,
       "<r><product><Actions>$DEST\\ReadMe.txt</Actions><Components>  </Components>"
       "<Shortcuts>ignored<File name=\"s\"/></Shortcuts></product></r>");
  ASSERT_EQ(script.Actions().Count(), 1);
  EXPECT_EQ(script.Actions().Items(0)->Name, u"$DEST\\ReadMe.txt");
  EXPECT_EQ(script.Actions().Items(0)->Text, u"");
  EXPECT_EQ(script.Components().Count(), 0) << "blank text is no entry";
  ASSERT_EQ(script.Shortcuts().Count(), 1) << "with children, the group's own text is no entry";
  EXPECT_EQ(script.Shortcuts().Items(0)->Name, u"s");
  EXPECT_EQ(script.Shortcuts().Items(1), nullptr);
}

TEST(InstallScript, OnlyTheFirstProductElementCounts) {
  TInstallerScript script;
  Load(script,
       "<r><product><Components><File name=\"1\"/></Components></product>"
       "<product><Components><File name=\"2\"/></Components></product></r>");
  EXPECT_EQ(Names(script.Components()), "1|");
}

TEST(InstallScript, SecondTopLevelElementFailsTheLoad) {
  TInstallerScript script;
  EXPECT_THROW(Load(script, "<r/><product/>"), EDLXXMLDocument);
}
