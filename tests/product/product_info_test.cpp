#include "core/installer.h"
#include "core/resources.h"
#include "product/product_info_zuva.h"
#include "product/profiles.h"
#include "tests/product/product_test_support.h"

namespace producttest {
namespace {

// Which configuration file is read and what the installer then knows about the copy.
TEST_F(ProductTest, InstalledCopyIsJudgedFromItsConfiguration) {
  struct Case {
    const char* name;
    std::string zuvaIni;   // empty: no such file
    std::string zuva3Ini;  // empty: no such file
    int version;
    bool portable;
    bool canUpdate;
    String integration;
  };
  const Case cases[] = {
      {"nothing", "", "", 0, false, false, u""},
      {"both: ZUVA.ini wins", "[System]\r\nUserMode=0\r\nVersion=4500\r\n[Integration]\r\nCB1=1\r\n",
       "[System]\r\nUserMode=1\r\nVersion=3900\r\n", 4500, true, true, u"CB1=1\r\n"},
      {"older generation only", "", "[System]\r\nUserMode=1\r\nVersion=3900\r\n[Integration]\r\nCB2=0\r\n",
       3900, false, true, u"CB2=0\r\n"},
      {"no UserMode: not portable", "[System]\r\nVersion=3500\r\n", "", 3500, false, true, u""},
      {"below the band", "[System]\r\nVersion=3499\r\n", "", 3499, false, false, u""},
      {"top of the band", "[System]\r\nVersion=5099\r\n", "", 5099, false, true, u""},
      {"above the band", "[System]\r\nVersion=5100\r\n", "", 5100, false, false, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder(u"config");
    if (!c.zuvaIni.empty()) WriteFile(folder.Path() + u"ZUVA.ini", c.zuvaIni);
    if (!c.zuva3Ini.empty()) WriteFile(folder.Path() + u"ZUVA3.ini", c.zuva3Ini);
    auto installer = Create(u"/AUTO=\"" + folder.Path() + u"\" /SILENT");
    // Choices of an earlier destination never survive a change of folder.
    TempFolder other(u"other");
    installer->SetDestPath(other.Path());
    installer->Settings().WriteString(u"Integration", u"Stale", u"1");
    installer->SetDestPath(folder.Path());
    TProductInfoZUVA& info = ProductInfoZUVA();
    EXPECT_EQ(info.GetInstalledVersion(), c.version);
    EXPECT_EQ(info.IsInstalledPortable(), c.portable);
    EXPECT_EQ(info.CanUpdate(), c.canUpdate);
    EXPECT_EQ(installer->HasOption(ioUpdate), c.canUpdate);
    EXPECT_EQ(installer->HasOption(ioPortable), c.canUpdate && c.portable);
    EXPECT_TRUE(installer->Settings().SectionExists(u"Integration"));
    EXPECT_EQ(installer->Settings().ReadSectionText(u"Integration"), c.integration);
    installer.reset();
  }
}

// Add-ons only for an interactive run in Russian; the language file's name decides, whatever its
// case.
TEST_F(ProductTest, AddOnsAreOfferedToInteractiveRussianRunsOnly) {
  struct Case {
    const char* args;
    LANGID language;
    bool expected;
  };
  const Case cases[] = {
      {"", 1049, true}, {"", 1033, false}, {"/AUTO /SILENT", 1049, false}, {"/AUTO", 1049, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    auto installer = Create(dlx::FromUtf8(c.args));
    installer->Resources().InitializeLanguages(c.language);
    EXPECT_EQ(ProductInfoZUVA().IsAddonsAvailable(), c.expected);
    installer.reset();
  }
}

TEST_F(ProductTest, DataFoldersFollowTheGenerationAndTheMode) {
  TempFolder folder(u"profiles");
  auto installer = Create(u"/AUTO=\"" + folder.Path() + u"\" /SILENT");
  const TDLXUserAccountInfo account(u"", u"alice", u"C:\\Users\\alice\\AppData\\Roaming",
                                    u"C:\\Users\\alice");
  EXPECT_EQ(account.AppDataPath, u"C:\\Users\\alice\\AppData\\Roaming\\");
  EXPECT_EQ(TInstallerProfileHelper::GetDataPath(&account, 3999),
            u"C:\\Users\\alice\\AppData\\Roaming\\ZUVA3\\");
  EXPECT_EQ(TInstallerProfileHelper::GetDataPath(&account, 4000),
            u"C:\\Users\\alice\\AppData\\Roaming\\ZUVA Test\\");
  EXPECT_EQ(TInstallerProfileHelper::GetDataPath(nullptr, 3900), folder.Path() + u"Profile\\");

  // A portable copy has exactly one profile, and only when its data folder exists.
  installer->SetOption(ioPortable, true);
  TInstallerProfileInfoList profiles;
  TInstallerProfileHelper::Populate(profiles);
  EXPECT_EQ(profiles.Count(), 0);
  ASSERT_TRUE(dlx::ForceDirectories(folder.Path() + u"Profile\\"));
  TInstallerProfileHelper::Populate(profiles);
  ASSERT_EQ(profiles.Count(), 1);
  EXPECT_EQ(profiles.Items(0).UserName, u"SingleUser");
  EXPECT_EQ(profiles.Items(0).DataPath, folder.Path() + u"Profile\\");
  EXPECT_EQ(profiles.Items(0).OldDataPath, folder.Path() + u"Profile\\");

  // The same profile folder once; the comparison is exact.
  TDLXUserAccountInfoList accounts;
  EXPECT_TRUE(
      accounts.AddUnique(std::make_unique<TDLXUserAccountInfo>(u"", u"a", u"C:\\A", u"C:\\Users\\a")));
  EXPECT_FALSE(
      accounts.AddUnique(std::make_unique<TDLXUserAccountInfo>(u"", u"b", u"C:\\B", u"C:\\Users\\a\\")));
  EXPECT_TRUE(
      accounts.AddUnique(std::make_unique<TDLXUserAccountInfo>(u"", u"c", u"C:\\C", u"C:\\Users\\A")));
  EXPECT_EQ(accounts.Count(), 2);
  installer.reset();
}

}  // namespace
}  // namespace producttest

namespace producttest {
namespace {

// The ready page's "setup" lines: mode, backup, and the warning about an installation that
// would be replaced (a configuration with a version that cannot be updated counts, an update
// does not).
TEST_F(ProductTest, PrepareSummaryNamesModeBackupAndWarning) {
  auto setup = testenv::EngineTest::DefaultSetup();
  for (auto& entry : setup)
    if (entry.name == u"English.lng")
      entry.bytes +=
          "[PageSetup]\r\nLB1=Folder\r\nTitle=Setup\r\nCB1=Update\r\nCB2=Normal\r\nCB3=Portable\r\n"
          "CB4=Backup\r\nW3=Replaces\r\n[PageIntegration]\r\nLB1=Shortcuts\r\nCB1=Desktop\r\nCB2=Start "
          "menu\r\n"
          "LB2=Integration\r\nCB3=Associate\r\nCB4=Register\r\nCB5=Menu\r\n";
  // A fresh installation for the machine's users integrates with Windows and gets shortcuts.
  const std::string integration =
      "\r\nIntegration\r\n    Register\r\n    Menu\r\n    Associate\r\n\r\nShortcuts\r\n    Desktop\r\n    "
      "Start menu\r\n";
  struct Case {
    const char* name;
    std::string config;  // ZUVA.ini, empty for none
    const char* switches;
    std::string expected;  // after the folder line
  };
  const Case cases[] = {
      {"fresh", "", " /SILENT", "Setup\r\n    Normal\r\n    Backup\r\n" + integration},
      {"no backup", "", " /SILENT /NOBACKUP", "Setup\r\n    Normal\r\n" + integration},
      {"portable", "", " /SILENT /PORTABLE", "Setup\r\n    Portable\r\n    Backup\r\n"},
      {"update", "[System]\r\nVersion=5020\r\n", " /SILENT", "Setup\r\n    Update\r\n    Backup\r\n"},
      {"a newer copy", "[System]\r\nVersion=5100\r\n", " /SILENT",
       "Setup\r\n    Normal\r\n    Backup\r\n\r\nSetup\r\n    Replaces\r\n" + integration},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder(u"summary");
    if (!c.config.empty()) WriteFile(folder.Path() + u"ZUVA.ini", c.config);
    auto installer = Create(u"/AUTO=\"" + folder.Path() + u"\"" + dlx::FromUtf8(c.switches), setup, {});
    installer->Resources().InitializeLanguages(1033);
    EXPECT_EQ(BuildInstallerSummary(),
              u"Folder\r\n    " + folder.Path() + u"\r\n\r\n" + dlx::FromUtf8(c.expected));
    installer.reset();
  }
}

}  // namespace
}  // namespace producttest
