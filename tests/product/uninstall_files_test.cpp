// Removal of the installed files: what each combination of the two uninstall options deletes,
// for a portable and a multi-user installation, and what is never deleted whatever the uninstall
// log or the options say.
#include "product/uninstall_files_action.h"

// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include "core/paths.h"
#include "core/resources.h"
#include "lib/log.h"
#include "lib/win/handles.h"
#include "tests/product/product_test_env.h"

using namespace productenv;
using extractenv::Exists;
using extractenv::TScratchFolder;
using extractenv::WriteAll;

namespace {

std::string LogOf(const std::vector<std::string>& entries) {
  std::string log = "[Uninstall]\r\nCount=" + std::to_string(entries.size()) + "\r\n";
  for (size_t i = 0; i < entries.size(); ++i) log += std::to_string(i) + "=" + entries[i] + "\r\n";
  return log;
}

// The users' data folders are scratch folders, not the real ones.
class TTestUninstallFiles : public TInstallerActionUninstallFiles {
 public:
  explicit TTestUninstallFiles(std::vector<TUserDataFolder> folders) : folders_(std::move(folders)) {}

 protected:
  std::vector<TUserDataFolder> UserDataFolders() override { return folders_; }

 private:
  std::vector<TUserDataFolder> folders_;
};

class UninstallFilesTest : public ProductTest {
 protected:
  void SetUp() override {
    ProductTest::SetUp();
    users_ = std::make_unique<TScratchFolder>();
  }
  void TearDown() override {
    dlx::TDLXLog::Close();
    users_.reset();
    ProductTest::TearDown();
  }
  // An installation as a removal finds it: logged files, a backup, a portable data folder, a file
  // and an empty folder the user added, and one user's data folder.
  void MakeInstallation(bool multiUser, const std::vector<std::string>& extraLogEntries = {}) {
    for (const char16_t* folder : {u"Sub\\Deep\\", u"!Backup\\", u"Profile\\", u"Playlists\\", u"Empty\\"})
      ASSERT_TRUE(dlx::ForceDirectories(Dest() + folder));
    for (const char16_t* file : {u"a.txt", u"Sub\\b.txt", u"Sub\\Deep\\c.txt", u"Uninstall.exe",
                                 u"!Backup\\ZUVA 5.00.zip", u"Profile\\ZUVA.ini", u"Playlists\\mine.m3u"})
      ASSERT_TRUE(WriteAll(Dest() + file, "x"));
    ASSERT_TRUE(WriteAll(Dest() + u"ZUVA.ini", multiUser ? "[System]\r\nUserMode=1\r\n" : "[System]\r\n"));
    ASSERT_TRUE(dlx::ForceDirectories(UserData()));
    ASSERT_TRUE(WriteAll(UserData() + u"ZUVA.zdb", "x"));
    std::vector<std::string> entries = {"a.txt", "Sub\\b.txt",    "Sub\\Deep\\c.txt",
                                        "a.txt", "Uninstall.exe", "ZUVA.ini"};
    entries.insert(entries.end(), extraLogEntries.begin(), extraLogEntries.end());
    Make(u"/AUTO", {}, LogOf(entries));
  }
  String UserData() const { return users_->Path() + u"ZUVA Test\\"; }
  void RemoveAlso(bool backups, bool content) {
    installer_->Settings().WriteBool(u"Common", u"RemoveBackups", backups);
    installer_->Settings().WriteBool(u"Common", u"RemoveContent", content);
  }
  void Run() {
    TTestUninstallFiles action({{UserData(), users_->Path()}});
    action.Execute();
    EXPECT_EQ(action.Progress(), 100);
  }

  std::unique_ptr<TScratchFolder> users_;
};

TEST_F(UninstallFilesTest, EachCombinationOfTheOptionsRemovesItsShare) {
  struct Case {
    bool multiUser;
    int removeBackups;  // -1: not set (on in an unattended run)
    bool removeContent;
    bool destStays, backupStays, profileStays, userDataStays;
  };
  const Case cases[] = {
      {false, 0, false, true, true, true, true},   {false, 1, false, true, false, true, true},
      {false, -1, false, true, false, true, true}, {false, 0, true, true, true, false, true},
      {true, 0, true, true, true, false, false},   {false, 1, true, false, false, false, true},
      {true, 1, true, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("multi-user " + std::to_string(c.multiUser) + ", backups " +
                 std::to_string(c.removeBackups) + ", content " + std::to_string(c.removeContent));
    MakeInstallation(c.multiUser);
    if (c.removeBackups >= 0) installer_->Settings().WriteBool(u"Common", u"RemoveBackups", c.removeBackups);
    installer_->Settings().WriteBool(u"Common", u"RemoveContent", c.removeContent);
    Run();
    for (const char16_t* file : {u"a.txt", u"Sub\\b.txt", u"Sub\\Deep\\c.txt", u"Uninstall.exe", u"ZUVA.ini"})
      EXPECT_FALSE(Exists(Dest() + file)) << dlx::ToUtf8(file);
    EXPECT_FALSE(dlx::DirectoryExists(Dest() + u"Sub")) << "emptied folders go";
    EXPECT_FALSE(dlx::DirectoryExists(Dest() + u"Empty"));
    EXPECT_EQ(dlx::DirectoryExists(Dest()), c.destStays);
    EXPECT_EQ(Exists(Dest() + u"Playlists\\mine.m3u"), c.destStays)
        << "what the user added stays with the folder";
    EXPECT_EQ(dlx::DirectoryExists(Dest() + u"!Backup"), c.backupStays);
    EXPECT_EQ(dlx::DirectoryExists(Dest() + u"Profile"), c.profileStays);
    EXPECT_EQ(dlx::DirectoryExists(UserData()), c.userDataStays);
    EXPECT_TRUE(dlx::DirectoryExists(users_->Path())) << "the application-data folder itself stays";
    installer_.reset();
    dlx::DeleteDirectory(Dest(), true);
    dlx::ForceDirectories(Dest());
  }
}

TEST_F(UninstallFilesTest, AHugeCountReadsOnlyTheEntriesThatExistInNumberOrder) {
  MakeInstallation(false);
  installer_.reset();
  Make(u"/AUTO", {},
       "[Uninstall]\r\nCount=2000000000\r\n5=Sub\\b.txt\r\n0=a.txt\r\n007=Sub\\Deep\\c.txt\r\n");
  TTestUninstallFiles action({});
  const ULONGLONG start = GetTickCount64();
  action.CreateFileList();
  EXPECT_LT(GetTickCount64() - start, 5000u);
  ASSERT_EQ(action.FileList().Count(), 2);
  EXPECT_EQ(action.FileList().Strings(0), CanonicalPath(Dest() + u"a.txt"));
  EXPECT_EQ(action.FileList().Strings(1), CanonicalPath(Dest() + u"Sub\\b.txt"));
}

// A lookup per entry would scan the section each time: 200,000 entries would then take hours and
// the test would run into its time limit instead of ending.
TEST_F(UninstallFilesTest, ALargeLogIsReadInOnePassInNumberOrderWithTheFirstOfATwiceWrittenNumber) {
  constexpr int kEntries = 200000;
  std::string log = "[Uninstall]\r\nCount=" + std::to_string(kEntries) + "\r\n";
  log.reserve(static_cast<size_t>(kEntries) * 24);
  // Written from the highest number down; number 7 twice (its first line counts).
  for (int i = kEntries - 1; i >= 0; --i)
    log += std::to_string(i) + "=Files\\f" + std::to_string(i) + ".bin\r\n";
  log += "7=Files\\second.bin\r\n";
  Make(u"/AUTO", {}, log);
  TTestUninstallFiles action({});
  action.CreateFileList();
  ASSERT_EQ(action.FileList().Count(), kEntries);
  EXPECT_EQ(action.FileList().Strings(0), CanonicalPath(Dest() + u"Files\\f0.bin"));
  EXPECT_EQ(action.FileList().Strings(7), CanonicalPath(Dest() + u"Files\\f7.bin"));
  EXPECT_EQ(action.FileList().Strings(kEntries - 1),
            CanonicalPath(Dest() + u"Files\\f" + dlx::IntToStr(kEntries - 1) + u".bin"));
}

TEST_F(UninstallFilesTest, TheRunsLogInTheFolderStaysUntilTheRunEnds) {
  MakeInstallation(true);
  const String log = Dest() + u"Logs\\uninstall.log";
  ASSERT_TRUE(dlx::ForceDirectories(Dest() + u"Logs"));
  ASSERT_TRUE(dlx::TDLXLog::Open(log));
  RemoveAlso(true, true);
  Run();
  dlx::Log(u"still writing");
  dlx::TDLXLog::Close();
  EXPECT_NE(extractenv::ReadAll(log).find("still writing"), std::string::npos);
  EXPECT_FALSE(Exists(Dest() + u"Playlists\\mine.m3u")) << "the rest of the folder went";
  EXPECT_FALSE(dlx::DirectoryExists(Dest() + u"!Backup"));
}

TEST_F(UninstallFilesTest, AProtectedFolderIsNeverDeletedWithItsContents) {
  MakeInstallation(true);
  // A data folder that is one of the shell's own folders (here: Templates, harmless in the test
  // prefix) must survive even when the removal names it.
  const String templates = GetSpecialFolder(CSIDL_TEMPLATES);
  const String marker = templates + u"zuva-test-marker.txt";
  ASSERT_TRUE(WriteAll(marker, "x"));
  RemoveAlso(true, true);
  TTestUninstallFiles action(
      {{templates, dlx::ExtractFilePath(dlx::ExcludeTrailingPathDelimiter(templates))}});
  action.Execute();
  EXPECT_TRUE(Exists(marker));
  dlx::DeleteFile(marker);
}

const char16_t kProfileList[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";

// Two accounts in the registry's profile list whose hives are not loaded (their data folders come
// from the default user's template), one of them a ".bak" copy of a damaged profile; removed again
// afterwards.
class UninstallUsersTest : public UninstallFilesTest {
 protected:
  void SetUp() override {
    UninstallFilesTest::SetUp();
    const String tag = dlx::IntToStr(GetCurrentProcessId());
    alice_ = u"S-1-5-21-1111-2222-3333-" + tag;
    bob_ = alice_ + u"1.bak";
    for (const auto& [sid, name] : {std::pair{alice_, u"alice"}, std::pair{bob_, u"bob"}}) {
      const String profile = users_->Path() + name;
      ASSERT_TRUE(dlx::ForceDirectories(profile + u"\\AppData\\Roaming\\ZUVA Test"));
      ASSERT_TRUE(WriteAll(profile + u"\\AppData\\Roaming\\ZUVA Test\\ZUVA.zdb", "x"));
      dlx::TRegistryKey key;
      ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kProfileList + sid));
      ASSERT_TRUE(key.WriteString(u"ProfileImagePath", profile));
    }
    own_ = GetSpecialFolder(CSIDL_APPDATA) + u"ZUVA Test\\";
    ASSERT_TRUE(dlx::ForceDirectories(own_));
    ASSERT_TRUE(WriteAll(own_ + u"ZUVA.zdb", "x"));
  }
  void TearDown() override {
    for (const String& sid : {alice_, bob_})
      dlx::TRegistryKey::DeleteTree(HKEY_LOCAL_MACHINE, kProfileList + sid);
    dlx::DeleteDirectory(own_, true);
    UninstallFilesTest::TearDown();
  }
  String Data(const char16_t* name) { return users_->Path() + name + u"\\AppData\\Roaming\\ZUVA Test\\"; }

  String alice_, bob_, own_;
};

TEST_F(UninstallUsersTest, RemovingUserContentReachesEveryAccountButABackupProfile) {
  MakeInstallation(true);
  RemoveAlso(false, true);
  TInstallerActionUninstallFiles action;
  action.Execute();
  EXPECT_FALSE(dlx::DirectoryExists(own_)) << "the installing user's data folder";
  EXPECT_FALSE(dlx::DirectoryExists(Data(u"alice"))) << "a user who is not logged on";
  EXPECT_TRUE(Exists(Data(u"bob") + u"ZUVA.zdb")) << "a \".bak\" profile is no account";
  EXPECT_TRUE(dlx::DirectoryExists(users_->Path() + u"alice\\AppData\\Roaming"))
      << "only the product's folder goes";
  EXPECT_TRUE(dlx::DirectoryExists(Dest() + u"!Backup"));
}

}  // namespace
