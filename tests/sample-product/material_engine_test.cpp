// The installer material read by the engine's own readers, the way the setup will read it: the
// install script through TInstallerScript, the language files through TDLXIniFile (merged as
// the resources merge them) and the add-ons list through TDLXStringList.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "core/script/install_script.h"
#include "lib/dlx_string.h"
#include "lib/ini_file.h"
#include "lib/stream.h"
#include "lib/string_list.h"
#include "tests/sample-product/sample_paths.h"

namespace {

using dlx::String;
using sample::HostPath;
using sample::ReadBytes;

std::wstring SetupFolder() {
  return HostPath(ZUVA_SOURCE_DIR) + L"\\setup\\";
}
std::wstring ProductFolder() {
  return HostPath(ZUVA_SAMPLE_PRODUCT_DIR) + L"\\";
}

String U16(const std::wstring& w) {
  return String(w.begin(), w.end());
}
std::wstring W16(const String& s) {
  return std::wstring(s.begin(), s.end());
}

std::unique_ptr<dlx::TDLXMemoryStream> OpenMaterial(const wchar_t* name) {
  const std::vector<uint8_t> bytes = ReadBytes(SetupFolder() + name);
  return std::make_unique<dlx::TDLXMemoryStream>(bytes.data(), bytes.size());
}

class InstallScriptEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto stream = OpenMaterial(L"Install.xml");
    ASSERT_GT(stream->GetSize(), 0);
    script_.LoadFromStream(*stream);
  }
  TInstallerScript script_;
};

String Lower(String s) {
  for (auto& c : s)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  return s;
}

TEST_F(InstallScriptEngineTest, IdentityMatchesTheVersionNumberAndEachFamilyHasALicense) {
  EXPECT_EQ(script_.GetValue(u"ProductName"), u"ZUVA");
  EXPECT_FALSE(script_.GetValue(u"Publisher").empty());
  EXPECT_FALSE(script_.GetValue(u"HomePage").empty());
  EXPECT_FALSE(script_.GetValue(u"ProductVersionNo").empty());
  // The version text is the number's display form, and an installer can update its own version.
  int64_t id = 0;
  ASSERT_TRUE(dlx::TryStrToInt(script_.GetValue(u"ProductVersionId"), id));
  char shown[16];
  snprintf(shown, sizeof(shown), "%d.%02d", static_cast<int>(id / 1000), static_cast<int>(id % 1000 / 10));
  EXPECT_EQ(dlx::ToUtf8(script_.GetValue(u"ProductVersion")), shown);
  EXPECT_GT(id, 3499);
  EXPECT_LT(id, 5100);

  ASSERT_EQ(script_.License().Count(), 3);
  for (const char16_t* family : {u"EN", u"DE", u"RU"}) {
    TInstallerScriptFile* license = nullptr;
    ASSERT_TRUE(script_.License().FindByLangFamily(family, license));
    EXPECT_EQ(license->LangFamily, family);
    const std::vector<uint8_t> rtf = ReadBytes(SetupFolder() + W16(license->Name));
    EXPECT_EQ(std::string(rtf.begin(), rtf.end()).rfind("{\\rtf1", 0), 0u) << dlx::ToUtf8(license->Name);
  }
}

TEST_F(InstallScriptEngineTest, EachFamilyExtractsTheSameTargetsAndEveryBuiltEntryIsUsed) {
  const auto& components = script_.Components();
  ASSERT_GT(components.Count(), 0);
  const std::set<std::string> staged = sample::FilesIn(ProductFolder());
  std::set<std::string> used;
  std::set<String> english_targets;
  for (const char16_t* family : {u"EN", u"DE", u"RU"}) {
    std::set<String> targets;
    for (int i = 0; i < components.Count(); ++i) {
      const TInstallerScriptFile* file = components.Items(i);
      const std::string source = dlx::ToUtf8(file->GetSourceName());
      EXPECT_EQ(file->Name.rfind(u"$DEST\\", 0), 0u) << dlx::ToUtf8(file->Name);
      // A forward slash is no separator for the installer's path expansion.
      EXPECT_EQ(file->Name.find(u'/'), String::npos) << dlx::ToUtf8(file->Name);
      EXPECT_TRUE(staged.count(source)) << source << " is not a built product entry";
      used.insert(source);
      if (file->MatchesLangFamily(family)) {
        EXPECT_TRUE(targets.insert(Lower(file->Name)).second) << "written twice: " << dlx::ToUtf8(file->Name);
      }
    }
    if (english_targets.empty()) english_targets = targets;
    EXPECT_EQ(targets, english_targets) << dlx::ToUtf8(family);
  }
  for (const auto& name : staged) EXPECT_TRUE(used.count(name)) << name << " is built but never installed";
}

TEST_F(InstallScriptEngineTest, ActionsAndShortcutsPointAtInstalledProgramsWithCaptions) {
  std::set<String> installed = {u"$dest\\uninstall.exe"};
  for (int i = 0; i < script_.Components().Count(); ++i)
    installed.insert(Lower(script_.Components().Items(i)->Name));
  dlx::TDLXIniFile english(U16(SetupFolder() + L"English.lng"));

  ASSERT_GT(script_.Actions().Count(), 0);
  for (int i = 0; i < script_.Actions().Count(); ++i) {
    const TInstallerScriptFile* action = script_.Actions().Items(i);
    EXPECT_TRUE(installed.count(Lower(action->Name))) << dlx::ToUtf8(action->Name) << " is never installed";
    EXPECT_FALSE(english.ReadString(u"PageFinish", action->GetSourceName(), u"").empty())
        << "no caption PageFinish/" << dlx::ToUtf8(action->GetSourceName());
  }
  bool desktop = false, start_menu = false;
  ASSERT_GT(script_.Shortcuts().Count(), 0);
  for (int i = 0; i < script_.Shortcuts().Count(); ++i) {
    const TInstallerScriptFile* link = script_.Shortcuts().Items(i);
    const String path = Lower(link->Name), target = Lower(link->Text);
    SCOPED_TRACE(dlx::ToUtf8(link->Name));
    desktop |= path.rfind(u"$desktop\\", 0) == 0;
    start_menu |= path.rfind(u"$startmenu\\zuva\\", 0) == 0;
    EXPECT_TRUE(path.rfind(u"$desktop\\", 0) == 0 || path.rfind(u"$startmenu\\", 0) == 0);
    EXPECT_EQ(path.substr(path.size() - 4), u".lnk");
    EXPECT_TRUE(installed.count(target)) << "target never installed";
    // Windows 8 and later only get shortcuts to programs.
    EXPECT_EQ(target.substr(target.size() - 4), u".exe");
  }
  EXPECT_TRUE(desktop);
  EXPECT_TRUE(start_menu);
}

TEST(LanguageEngineTest, FilesDecodeAsUtf8AndRussianMergesOverEnglish) {
  dlx::TDLXIniFile english(U16(SetupFolder() + L"English.lng"));
  dlx::TDLXIniFile russian(U16(SetupFolder() + L"Russian.lng"));
  ASSERT_GT(english.SectionCount(), 10);
  EXPECT_EQ(english.Encoding.Kind, dlx::teUtf8);
  EXPECT_EQ(russian.Encoding.Kind, dlx::teUtf8);
  // The byte-order mark is not part of the first section's name.
  EXPECT_EQ(english.ReadString(u"File", u"Name", u""), u"English");
  EXPECT_EQ(russian.ReadString(u"File", u"Name", u""), u"\u0420\u0443\u0441\u0441\u043a\u0438\u0439");
  EXPECT_EQ(russian.ReadString(u"File", u"Family", u"EN"), u"RU");

  dlx::TDLXMemoryStream icon;
  EXPECT_TRUE(russian.ReadStream(u"File", u"Icon", icon));
  EXPECT_GT(icon.GetSize(), 22);

  // Merged as the resources merge the chosen language: translated texts replace English ones.
  english.Merge(russian, true);
  EXPECT_EQ(english.ReadString(u"Common", u"bNext", u""), u"\u0414\u0430\u043b\u0435\u0435 >");
  EXPECT_EQ(english.ReadString(u"File", u"LangId", u""), u"1049");
}

TEST(AddonsListEngineTest, ValuesAreFoundByName) {
  auto stream = OpenMaterial(L"addons.ini");
  dlx::TDLXStringList list;
  list.LoadFromStream(*stream);
  EXPECT_EQ(list.GetValue(u"P4"), u"ZUVAAddons.exe");
  EXPECT_EQ(list.GetValue(u"CL"), u"/LANG=RU %s");
  EXPECT_EQ(list.GetValue(u"I0"), u"addons.png");
}

}  // namespace
