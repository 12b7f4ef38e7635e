#include "product/update_tasks.h"

#include "core/errors.h"
#include "core/installer.h"
#include "lib/file_system.h"
#include "product/profiles.h"
#include "tests/product/product_test_support.h"

namespace producttest {
namespace {

// A 3.90 data folder moved to its new name: copied, kept out of the deletion, the older
// generation's files renamed and listed for deletion; a rename onto an existing file fails with
// the system's error before anything is deleted.
TEST_F(ProductTest, ConfigurationTaskMovesAnOlderGenerationsDataFolder) {
  TempFolder dest(u"tasks-dest");
  TempFolder appData(u"tasks-appdata");
  WriteFile(dest.Path() + u"ZUVA3.ini", "[System]\r\nUserMode=1\r\nVersion=3900\r\n");
  const String oldData = appData.Path() + u"ZUVA3\\";
  const String newData = appData.Path() + u"ZUVA Test\\";
  for (const char* name : {"ZUVA3.zdb", "ZUVA3_menu.ini", "ZUVA3.ini", "ZUVA3_skin.layout",
                           "zuva_albumart.db", "zuva_albumart_user.db", "Sub\\keep.txt"}) {
    ASSERT_TRUE(dlx::ForceDirectories(dlx::ExtractFilePath(oldData + dlx::FromUtf8(name))));
    WriteFile(oldData + dlx::FromUtf8(name), name);
  }
  auto installer = Create(u"/AUTO=\"" + dest.Path() + u"\" /SILENT");
  ASSERT_TRUE(installer->HasOption(ioUpdate));

  TInstallerProfileInfo profile;
  profile.UserName = u"alice";
  profile.OldDataPath = oldData;
  profile.DataPath = newData;
  dlx::TDLXStringList deleteList;
  deleteList.Add(oldData + u"ZUVA3.zdb");
  deleteList.Add(newData + u"stale.txt");
  TInstallerUpdateTaskUpdateConfigs task(profile);
  task.Execute(&deleteList);

  EXPECT_TRUE(dlx::FileExists(dest.Path() + u"ZUVA.ini"));
  EXPECT_FALSE(dlx::FileExists(dest.Path() + u"ZUVA3.ini"));
  EXPECT_EQ(ReadFile(newData + u"ZUVA.zdb"), "ZUVA3.zdb");
  EXPECT_EQ(ReadFile(newData + u"ZUVA_menu.ini"), "ZUVA3_menu.ini");
  EXPECT_EQ(ReadFile(newData + u"zuva_custom_covers.db"), "zuva_albumart_user.db");
  EXPECT_EQ(ReadFile(newData + u"Sub\\keep.txt"), "Sub\\keep.txt");
  // The old folder's entry stays; the new folder's own entry is taken out; the obsolete files
  // of the new folder are added.
  EXPECT_GE(deleteList.IndexOf(oldData + u"ZUVA3.zdb"), 0);
  EXPECT_LT(deleteList.IndexOf(newData + u"stale.txt"), 0);
  EXPECT_GE(deleteList.IndexOf(newData + u"ZUVA3_skin.layout"), 0);
  EXPECT_GE(deleteList.IndexOf(newData + u"zuva_albumart.db"), 0);

  // Both configuration files in the installation folder: the rename cannot replace ZUVA.ini.
  WriteFile(dest.Path() + u"ZUVA3.ini", "[System]\r\nVersion=3900\r\n");
  try {
    task.Execute(&deleteList);
    ADD_FAILURE() << "the rename onto ZUVA.ini succeeded";
  } catch (const dlx::EDLXOSError& e) {
    EXPECT_EQ(e.Code(), static_cast<uint32_t>(ERROR_ALREADY_EXISTS));
  }
  installer.reset();
}

TEST_F(ProductTest, CopyFolderReportsWhatCouldNotBeCopied) {
  TempFolder folder(u"copy");
  ASSERT_TRUE(dlx::ForceDirectories(folder.Path() + u"src\\"));
  WriteFile(folder.Path() + u"src\\a.txt", "a");
  // The target's parent is a file: nothing can be created below it.
  WriteFile(folder.Path() + u"blocked", "file");
  try {
    TSetupHelper::CopyFolder(folder.Path() + u"src\\", folder.Path() + u"blocked\\dst\\", false);
    ADD_FAILURE() << "copied below a file";
  } catch (const EInstallerInstallError& e) {
    EXPECT_EQ(e.Message(),
              u"Cannot copy \"" + folder.Path() + u"src\\\" to \"" + folder.Path() + u"blocked\\dst\\\"");
  }
  // The same folder, named differently in case: nothing to do.
  EXPECT_NO_THROW(TSetupHelper::CopyFolder(folder.Path() + u"src\\", folder.Path() + u"SRC\\", false));
}

}  // namespace
}  // namespace producttest
