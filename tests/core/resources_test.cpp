#include "core/resources.h"

#include "core/errors.h"
#include "core/installer.h"
#include "core/script/install_script.h"
#include "tests/core/installer_fixture.h"

using namespace testenv;
using dlx::String;

namespace {

class ResourcesTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    installer_ = Create(u"/AUTO=\"C:\\Program Files (x86)\\ZUVA\"");
    resources_ = &installer_->Resources();
  }
  void TearDown() override {
    installer_.reset();
    EngineTest::TearDown();
  }
  std::string ReadAll(dlx::TDLXMemoryStream& stream) {
    return std::string(reinterpret_cast<const char*>(stream.Memory()), stream.Size());
  }
  std::unique_ptr<TInstaller> installer_;
  TInstallerResources* resources_ = nullptr;
};

std::vector<String> Names(const std::vector<TInstallerScriptFile*>& files) {
  std::vector<String> names;
  for (auto* f : files) names.push_back(f->Name);
  return names;
}

}  // namespace

TEST_F(ResourcesTest, VariablesAreReplacedWithTheirValues) {
  EXPECT_EQ(resources_->ExpandVariables(u"$DEST"), u"C:\\Program Files (x86)\\ZUVA\\");
  EXPECT_EQ(resources_->ExpandVariables(u"a\\nb"), u"a\r\nb");
  EXPECT_EQ(resources_->ExpandVariables(u"$NAME $VERSION $LINK"),
            u"ZUVA Test 5.03, 2026-11-30 https://zuva.example/");
  EXPECT_EQ(
      resources_->ExpandVariables(u"$DESKTOP|$STARTMENU|$PROGRAMS"),
      resources_->DesktopPath() + u"|" + resources_->StartMenuPath() + u"|" + resources_->ProgramFilesPath());
  const String temp = resources_->ExpandVariables(u"$TEMP");
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), u'\\');
  // Case-sensitive, every occurrence.
  EXPECT_EQ(resources_->ExpandVariables(u"$dest$NAME$NAME"), u"$destZUVA TestZUVA Test");
  for (const String* folder : {&resources_->DesktopPath(), &resources_->StartMenuPath(),
                               &resources_->ProgramFilesPath(), &resources_->ProgramFilesAltPath()}) {
    ASSERT_FALSE(folder->empty());
    EXPECT_EQ(folder->back(), u'\\');
  }
}

TEST_F(ResourcesTest, ExpandPathJoinsWithSingleBackslashesAndSanitizesParts) {
  EXPECT_EQ(resources_->ExpandPath(u"$DEST\\Plugins\\a.dll"),
            u"C:\\Program Files (x86)\\ZUVA\\Plugins\\a.dll");
  // A forward slash is no separator: it is dropped.
  EXPECT_EQ(resources_->ExpandPath(u"$DEST"
                                   u"Plugins/a.dll"),
            u"C:\\Program Files (x86)\\ZUVA\\Pluginsa.dll");
  EXPECT_EQ(resources_->ExpandPath(u"$DEST"), u"C:\\Program Files (x86)\\ZUVA\\");
  EXPECT_EQ(resources_->ExpandPath(u"C:\\a\"b\\c<>*?|:d\\  lead\\trail. . \\x"),
            u"C:\\a'b\\cd\\lead\\trail\\x");
  EXPECT_EQ(resources_->ExpandPath(u"\\\\server\\share\\\\dir\\"), u"\\\\server\\share\\dir\\");
  EXPECT_EQ(resources_->ExpandPath(u"\\\\?\\C:\\long\\path"), u"C:\\long\\path");
  EXPECT_EQ(resources_->ExpandPath(u"C:\\"), u"C:\\");
  EXPECT_EQ(resources_->ExpandPath(u"\\rooted\\x"), u"rooted\\x") << "only a drive or a server is a root";
  EXPECT_EQ(resources_->ExpandPath(u"C:\\" + String(300, u'x')), u"C:\\" + String(255, u'x'));
}

TEST_F(ResourcesTest, LanguageTextsExpandVariablesAndFallBackToEnglish) {
  resources_->InitializeLanguages(1031);  // a German user interface
  EXPECT_EQ(resources_->LangName(), u"German");
  EXPECT_EQ(resources_->GetLangFamily(), u"DE");
  EXPECT_EQ(resources_->GetString(u"Common", u"E4"), u"Installation abgebrochen");
  EXPECT_EQ(resources_->GetString(u"Common", u"OnlyEnglish"), u"From English");
  EXPECT_EQ(resources_->GetString(u"Common", u"Dest"),
            u"Installing into C:\\Program Files (x86)\\ZUVA\\ now");
  EXPECT_EQ(resources_->GetString(u"Common", u"Missing"), u"");
  EXPECT_EQ(resources_->GetString(u"Nowhere", u"E4"), u"");
}

TEST_F(ResourcesTest, TheLanguageFamilyFiltersComponentsAndChoosesTheLicense) {
  // English before any language is loaded: the family defaults to EN.
  EXPECT_EQ(resources_->GetLangFamily(), u"EN");
  EXPECT_EQ(Names(resources_->GetComponentFiles()), std::vector<String>{u"$DEST\\ZUVA.exe"});

  resources_->InitializeLanguages(1031);
  EXPECT_EQ(Names(resources_->GetComponentFiles()),
            (std::vector<String>{u"$DEST\\ZUVA.exe", u"$DEST\\Lang\\German.txt"}));
  auto license = resources_->GetLicenseStream();
  ASSERT_TRUE(license);
  EXPECT_EQ(ReadAll(*license), "{\\rtf1 DE}");

  resources_->InitializeLanguages(1049);  // Russian: its own family, no license of its own
  EXPECT_EQ(resources_->GetLangFamily(), u"RU");
  EXPECT_EQ(resources_->GetString(u"Common", u"E4"), u"\u041E\u0442\u043C\u0435\u043D\u0430");
  EXPECT_EQ(Names(resources_->GetComponentFiles()),
            (std::vector<String>{u"$DEST\\ZUVA.exe", u"$DEST\\Lang\\Russian.txt"}));
  license = resources_->GetLicenseStream();
  ASSERT_TRUE(license);
  EXPECT_EQ(ReadAll(*license), "{\\rtf1 EN}") << "the EN license stands in";
}

TEST_F(ResourcesTest, LanguageFilesAreTheLngEntriesSorted) {
  auto& files = resources_->LangFiles();
  ASSERT_EQ(files.Count(), 3);
  EXPECT_EQ(files.Strings(0), u"English.lng");
  EXPECT_EQ(files.Strings(1), u"German.lng");
  EXPECT_EQ(files.Strings(2), u"Russian.LNG");
}

TEST_F(ResourcesTest, PreselectionPrefersTheUserLanguageThenEnglishThenTheFirstByName) {
  EXPECT_EQ(resources_->SelectDefaultLanguage(1031), 1);
  EXPECT_EQ(resources_->SelectDefaultLanguage(1049), 2);
  EXPECT_EQ(resources_->SelectDefaultLanguage(1036), 0) << "French is missing: English (1033)";
  resources_->InitializeLanguages(1036);
  EXPECT_EQ(resources_->LangName(), u"English");
}

TEST_F(EngineTest, WithoutEnglishThePreselectionIsTheFirstNameAlphabetically) {
  auto installer = Create(u"/AUTO=D:\\Apps", {{u"Install.xml", DefaultScript()},
                                              {u"English.lng", "[File]\r\nName=Zulu\r\nLangId=5\r\n"},
                                              {u"Russian.lng", RussianLng()},
                                              {u"German.lng", GermanLng()},
                                              {u"Second German.lng", GermanLng()}});
  auto& resources = installer->Resources();
  // Sorted files: English, German, Russian, Second German. By name: Deutsch (German), Deutsch
  // (Second German, equal name keeps list order), Russian, Zulu.
  EXPECT_EQ(resources.SelectDefaultLanguage(1036), 1);
  EXPECT_EQ(resources.LangFiles().Strings(1), u"German.lng");
  EXPECT_EQ(resources.SelectDefaultLanguage(5), 0);
}

TEST_F(ResourcesTest, FilesComeFromTheProductPackageFirst) {
  auto file = resources_->GetFile(u"install.XML");  // names ignore case
  EXPECT_EQ(ReadAll(*file), DefaultScript());
  try {
    resources_->GetFile(u"missing.bin");
    FAIL() << "no exception";
  } catch (const EInstallerInstallError& e) {
    EXPECT_EQ(e.Message(), u"Cannot locate \"missing.bin\" file in setup archive");
  }
  auto list = resources_->GetStringList(u"English.lng");
  EXPECT_EQ(list->Strings(0), u"[File]");
}

TEST_F(EngineTest, TheProductPackageShadowsTheSetupPackage) {
  auto installer = Create(u"/AUTO=D:\\Apps", {}, {{u"License_EN.rtf", "product copy"}});
  auto file = installer->Resources().GetFile(u"License_EN.rtf");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file->Memory()), file->Size()), "product copy");
}

TEST_F(EngineTest, MissingScriptOrEnglishFailsWithTheLocateMessage) {
  try {
    Create(u"", {{u"English.lng", EnglishLng()}});
    FAIL() << "no exception";
  } catch (const EInstallerInstallError& e) {
    EXPECT_EQ(e.Message(), u"Cannot locate \"Install.xml\" file in setup archive");
  }
  auto installer = Create(u"/AUTO=D:\\Apps", {{u"Install.xml", DefaultScript()}});
  EXPECT_THROW(installer->Resources().InitializeLanguages(1033), EInstallerInstallError);
}

TEST_F(EngineTest, WithoutAProductNameEveryExpansionFails) {
  // The installer itself needs the name only for the default folder, which /AUTO=... avoids.
  const std::vector<Entry> nameless = {{u"Install.xml", "<Install><product><Settings/></product></Install>"},
                                       {u"English.lng", EnglishLng()}};
  auto installer = Create(u"/AUTO=D:\\Apps", nameless);
  auto& resources = installer->Resources();
  for (const String& text : {String(u"plain"), String(u"$DEST")}) {
    try {
      resources.ExpandVariables(text);
      FAIL() << "no exception";
    } catch (const EInstallerGeneralError& e) {
      EXPECT_EQ(e.Message(), u"TInstallerProductInfo.GetName");
    }
  }
  EXPECT_THROW(resources.ExpandPath(u"x"), EInstallerGeneralError);
  resources.InitializeLanguages(1033);
  EXPECT_THROW(resources.GetString(u"Common", u"E4"), EInstallerGeneralError);
  EXPECT_EQ(resources.GetLicenseStream(), nullptr) << "no license entries at all";
  EXPECT_THROW(Create(u"", nameless), EInstallerGeneralError) << "the default folder needs the name";
}

TEST_F(EngineTest, PathsExpandInOnePassWithoutLineBreaks) {
  auto installer = Create(u"/AUTO=C:\\newdemo");
  TInstallerResources& resources = installer->Resources();
  const String temp = resources.ExpandVariables(u"$TEMP");
  const struct {
    String text;
    String path;
  } paths[] = {
      {u"$DEST\\news.txt", u"C:\\newdemo\\news.txt"},
      {u"$DEST\\new\\name.txt", u"C:\\newdemo\\new\\name.txt"},
      {u"C:\\newdemo\\Uninstall.dat", u"C:\\newdemo\\Uninstall.dat"},
      {u"$DEST\\line\r\nbreak\t.txt", u"C:\\newdemo\\linebreak.txt"},
      {u"$TEMP\\x", temp + u"x"},
  };
  for (const auto& c : paths) EXPECT_EQ(resources.ExpandPath(c.text), c.path) << dlx::ToUtf8(c.text);

  // A folder whose name looks like a variable stays that folder.
  installer->SetDestPath(u"C:\\$TEMP\\ZUVA");
  EXPECT_EQ(resources.ExpandPath(u"$DEST\\a.txt"), u"C:\\$TEMP\\ZUVA\\a.txt");
  EXPECT_EQ(resources.ExpandVariables(u"$DEST"), u"C:\\$TEMP\\ZUVA\\");
}

TEST_F(EngineTest, LanguageTextsExpandLineBreaksButNotWhatAVariableInserted) {
  auto installer = Create(u"/AUTO=C:\\$TEMP\\newdemo");
  TInstallerResources& resources = installer->Resources();
  const struct {
    String text;
    String shown;
  } texts[] = {
      {u"one\\ntwo", u"one\r\ntwo"},
      {u"Into $DEST", u"Into C:\\$TEMP\\newdemo\\"},
      {u"$DEST\\nnext", u"C:\\$TEMP\\newdemo\\\r\nnext"},
      {u"$NAME\\\\n", u"ZUVA Test\\\r\n"},
      {u"$NAMES", u"ZUVA TestS"},
      {u"$nothing $", u"$nothing $"},
  };
  for (const auto& c : texts) {
    resources.LangFile().WriteString(u"T", u"k", c.text);
    EXPECT_EQ(resources.GetString(u"T", u"k"), c.shown) << dlx::ToUtf8(c.text);
  }
}

TEST_F(EngineTest, TheUninstallersPackageSuppliesOnlyTheUninstallLog) {
  auto installer = Create(u"/AUTO", {},
                          {{u"Uninstall.ini", "[Uninstall]\r\nCount=0\r\n"},
                           {u"Install.xml", "<planted/>"},
                           {u"English.lng", "[Common]\r\nE4=planted\r\n"}});
  ASSERT_EQ(installer->Mode(), imUninstall);
  auto script = installer->Resources().GetFile(u"Install.xml");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(script->Memory()), script->Size()), DefaultScript());
  installer->Resources().InitializeLanguages(1033);
  EXPECT_NE(installer->Resources().GetString(u"Common", u"E4"), u"planted");
  auto log = installer->Resources().GetFile(u"uninstall.INI");
  EXPECT_EQ(log->Size(), 22);
}
