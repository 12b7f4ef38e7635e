#include "core/extract_action.h"

#include "core/errors.h"
#include "core/installer_thread.h"
#include "core/package/package.h"
#include "core/uninstall_info.h"
#include "lib/platform/fs.h"
#include "lib/win/thread.h"
#include "tests/core/extract_test_env.h"

using namespace extractenv;

namespace {

// Records progress (current action's part) and status lines, on the main thread.
class TProgressRecorder : public IInstallerNotify {
 public:
  void Notify(TInstallerEvent event, intptr_t data) override {
    if (event == ieProgress) current.push_back(static_cast<int>(data & 0xFFFF));
    if (event == ieStatusText) status.push_back(*reinterpret_cast<const String*>(data));
  }
  std::vector<int> current;
  std::vector<String> status;
};

// The entries of the uninstall log in Uninstall.dat, in order.
std::vector<String> LogEntries(const String& folder) {
  dlx::TSetupPackageReader package(folder + kUninstallDataName);
  std::unique_ptr<dlx::TDLXMemoryStream> stream;
  if (!package.Extract(kUninstallLogName, stream)) return {u"<no log>"};
  dlx::TDLXIniFile log;
  log.LoadFromStream(*stream);
  std::vector<String> entries;
  const int count = log.ReadInteger(kUninstallSection, u"Count", -1);
  for (int i = 0; i < count; ++i)
    entries.push_back(log.ReadString(kUninstallSection, dlx::IntToStr(i), u"<none>"));
  return entries;
}

class ExtractActionTest : public ExtractTest {
 protected:
  void Run() {
    testenv::Product().actions = {&CreateAction<TInstallerActionExtract>};
    installer_->AddListener(&recorder_);
    installer_->Start(true);
    installer_->RemoveListener(&recorder_);
  }
  TProgressRecorder recorder_;
};

TEST_F(ExtractActionTest, ReportsProgressAsEachOfFourEntriesStartsAndLeavesTheUninstaller) {
  Make({{u"$DEST\\a.txt"}, {u"$DEST\\b.txt"}, {u"$DEST\\Sub\\c.txt"}, {u"$DEST\\d.txt"}},
       {{u"a.txt", "A"}, {u"b.txt", "B"}, {u"c.txt", "C"}, {u"d.txt", "D"}});
  Run();
  EXPECT_EQ(installer_->ErrorText(), u"");
  // 0 when the action becomes current; Run's closing 100 is not reported a second time.
  EXPECT_EQ(recorder_.current, (std::vector<int>{0, 25, 50, 75, 100}));
  EXPECT_EQ(recorder_.status, (std::vector<String>{u"Copying files...", u"Registering..."}));
  const String& dest = installer_->DestPath();
  EXPECT_EQ(ReadAll(dest + u"a.txt") + ReadAll(dest + u"b.txt") + ReadAll(dest + u"Sub\\c.txt") +
                ReadAll(dest + u"d.txt"),
            "ABCD");
  EXPECT_TRUE(Exists(dest + u"Uninstall.exe"));
  EXPECT_EQ(LogEntries(dest), (std::vector<String>{u"a.txt", u"b.txt", u"Sub\\c.txt", u"d.txt",
                                                   u"Uninstall.dat", u"Uninstall.exe"}));
}

TEST_F(ExtractActionTest, WritesAndLogsOnlyTheEntriesOfTheChosenLanguageFamily) {
  const std::vector<Component> components = {{u"$DEST\\ZUVA.exe"},
                                             {u"$DEST\\Readme.txt", u"Readme_DE.txt", u"DE"},
                                             {u"$DEST\\Readme.txt", u"Readme_RU.txt", u"RU"},
                                             {u"$DEST\\Lang\\de.ini", u"", u"de"}};
  Make(components,
       {{u"ZUVA.exe", "exe"}, {u"Readme_DE.txt", "Hallo"}, {u"Readme_RU.txt", "Privet"}, {u"de.ini", "x"}},
       1031);
  Run();
  EXPECT_EQ(installer_->ErrorText(), u"");
  const String& dest = installer_->DestPath();
  EXPECT_EQ(ReadAll(dest + u"Readme.txt"), "Hallo");
  EXPECT_TRUE(Exists(dest + u"Lang\\de.ini")) << "the family compares without regard to case";
  EXPECT_EQ(LogEntries(dest), (std::vector<String>{u"ZUVA.exe", u"Readme.txt", u"Lang\\de.ini",
                                                   u"Uninstall.dat", u"Uninstall.exe"}));
  EXPECT_EQ(recorder_.current, (std::vector<int>{0, 33, 66, 100}));
}

TEST_F(ExtractActionTest, AnEntryForAnotherFamilyIsNeitherWrittenNorLogged) {
  Make({{u"$DEST\\ZUVA.exe"}, {u"$DEST\\Readme.txt", u"Readme_DE.txt", u"DE"}},
       {{u"ZUVA.exe", "exe"}, {u"Readme_DE.txt", "Hallo"}}, 1033);
  Run();
  EXPECT_FALSE(Exists(installer_->DestPath() + u"Readme.txt"));
  EXPECT_EQ(LogEntries(installer_->DestPath()),
            (std::vector<String>{u"ZUVA.exe", u"Uninstall.dat", u"Uninstall.exe"}));
}

TEST_F(ExtractActionTest, TheLockedFileQuestionRunsOnTheMainThreadAndAbortEndsTheRun) {
  Make({{u"$DEST\\a.txt"}, {u"$DEST\\ZUVA.exe"}, {u"$DEST\\z.txt"}},
       {{u"a.txt", "A"}, {u"ZUVA.exe", "new"}, {u"z.txt", "Z"}});
  const String target = installer_->DestPath() + u"ZUVA.exe";
  ASSERT_TRUE(WriteAll(target, "old"));
  TFileLock lock(target, 0);
  std::vector<bool> onMainThread;
  Helper().OnLockedFileQuestion = [&](const String&) {
    onMainThread.push_back(dlx::IsMainThread());
    return TInstallerExtractHelper::qaAbort;
  };
  Run();
  EXPECT_EQ(onMainThread, std::vector<bool>{true});
  EXPECT_EQ(installer_->ErrorText(), u"Stopped at \"" + target + u"\"");
  EXPECT_TRUE(Exists(installer_->DestPath() + u"a.txt"));
  EXPECT_FALSE(Exists(installer_->DestPath() + u"z.txt")) << "nothing after the aborted file";
  EXPECT_FALSE(Exists(installer_->DestPath() + u"Uninstall.dat"));
  EXPECT_FALSE(Exists(installer_->DestPath() + u"Uninstall.exe"));
}

TEST_F(ExtractActionTest, AFileKeptByTheUserIsStillLogged) {
  Make({{u"$DEST\\ZUVA.exe"}, {u"$DEST\\z.txt"}}, {{u"ZUVA.exe", "new"}, {u"z.txt", "Z"}});
  const String target = installer_->DestPath() + u"ZUVA.exe";
  ASSERT_TRUE(WriteAll(target, "old"));
  TFileLock lock(target, 0);
  Helper().OnLockedFileQuestion = [](const String&) { return TInstallerExtractHelper::qaIgnore; };
  Run();
  lock.Release();
  EXPECT_EQ(installer_->ErrorText(), u"");
  EXPECT_EQ(ReadAll(target), "old");
  EXPECT_EQ(ReadAll(installer_->DestPath() + u"z.txt"), "Z");
  EXPECT_EQ(LogEntries(installer_->DestPath()),
            (std::vector<String>{u"ZUVA.exe", u"z.txt", u"Uninstall.dat", u"Uninstall.exe"}));
}

}  // namespace

// Cancels the run (as the form does) when the extraction reports the given progress.
class TCancelAt : public IInstallerNotify {
 public:
  explicit TCancelAt(int progress) : progress_(progress) {}
  void Notify(TInstallerEvent event, intptr_t data) override {
    if (event == ieProgress && static_cast<int>(data & 0xFFFF) == progress_ && Installer->Thread())
      Installer->Thread()->Terminate();
  }

 private:
  int progress_;
};

TEST_F(ExtractActionTest, ACancelStopsTheExtractionBetweenFilesAndTheRunReportsIt) {
  Make({{u"$DEST\\a.txt"}, {u"$DEST\\b.txt"}, {u"$DEST\\c.txt"}, {u"$DEST\\d.txt"}},
       {{u"a.txt", "A"}, {u"b.txt", "B"}, {u"c.txt", "C"}, {u"d.txt", "D"}});
  TCancelAt cancel(50);  // as the second file starts
  installer_->AddListener(&cancel);
  Run();
  installer_->RemoveListener(&cancel);
  const String& dest = installer_->DestPath();
  EXPECT_EQ(ReadAll(dest + u"a.txt") + ReadAll(dest + u"b.txt"), "AB")
      << "the file being written is finished";
  EXPECT_FALSE(Exists(dest + u"c.txt"));
  EXPECT_FALSE(Exists(dest + u"Uninstall.exe"));
  EXPECT_TRUE(installer_->Cancelled());
  EXPECT_EQ(installer_->ExitCode(), InstallerExitCancelled);
  EXPECT_EQ(installer_->ErrorText(), u"Cancelled");
}

TEST_F(ExtractActionTest, AFileThatCannotBeCreatedEndsTheRunNamingItAndTheSystemError) {
  Make({{u"$DEST\\a.txt"}, {u"$DEST\\Taken"}, {u"$DEST\\c.txt"}},
       {{u"a.txt", "A"}, {u"Taken", "T"}, {u"c.txt", "C"}});
  // A folder holds the name, so the file cannot be created; no rename or question can cure that.
  ASSERT_TRUE(dlx::ForceDirectories(Dest() + u"Taken"));
  int questions = 0;
  Helper().OnLockedFileQuestion = [&](const String&) {
    ++questions;
    return TInstallerExtractHelper::qaIgnore;
  };
  Run();
  EXPECT_EQ(installer_->ErrorText(), u"Cannot create file \"" + Dest() + u"Taken\". " +
                                         dlx::platform::ErrorMessage(ERROR_ACCESS_DENIED));
  EXPECT_EQ(installer_->ExitCode(), InstallerExitFailed);
  EXPECT_EQ(questions, 0);
  EXPECT_TRUE(Exists(Dest() + u"a.txt"));
  EXPECT_FALSE(Exists(Dest() + u"c.txt"));
  EXPECT_FALSE(dlx::DirectoryExists(Dest() + u"Taken.bak"));
  EXPECT_FALSE(Exists(Dest() + u"Uninstall.exe"));
}
