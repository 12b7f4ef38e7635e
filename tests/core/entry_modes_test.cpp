#include <windows.h>

#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/entry.h"
#include "core/errors.h"
#include "core/installer.h"
#include "core/pending_restart.h"
#include "core/run_lock.h"
#include "core/spawn_service.h"
#include "lib/log.h"
#include "lib/platform/text.h"
#include "lib/win/handles.h"
#include "lib/win/system.h"
#include "tests/core/entry_test_support.h"
#include "tests/core/installer_fixture.h"

using namespace testenv;
using dlx::String;
using entrytest::CopyDataRecorder;
using entrytest::SpawnServiceReset;
using entrytest::TempFolder;

namespace {

// An action that records its run, and one that fails after adding an error of its own.
class TRecordingAction : public TInstallerAction {
 public:
  void Execute() override { TraceAdd("run"); }
};

// One that leaves a file in use for the next restart.
class TRestartAction : public TInstallerAction {
 public:
  void Execute() override {
    TraceAdd("run");
    NoteRestartNeeded(u"C:\\test\\in-use.dll");
  }
};

// Another run of the product's setup, as far as its lock tells: the lock held by another thread
// (the thread that owns a mutex may take it again, so the test's own thread cannot stand for it).
class TOtherRun {
 public:
  explicit TOtherRun(const String& product)
      : thread_([this, product] {
          TInstallerRunLock lock;
          holds_.set_value(lock.TryAcquire(product) && lock.Held());
          end_.get_future().wait();
        }) {
    held_ = holds_.get_future().get();
  }
  ~TOtherRun() {
    end_.set_value();
    thread_.join();
  }
  bool Holds() const { return held_; }

 private:
  std::promise<bool> holds_;
  std::promise<void> end_;
  bool held_ = false;
  std::thread thread_;
};

class TFailingAction : public TInstallerAction {
 public:
  void Execute() override {
    Installer->AddError(u"first problem");
    throw EInstallerInstallError(u"second problem");
  }
};

// What the start-up did with the system, and the answers it got.
struct FakeSystem {
  bool vista = true;
  bool admin = true;
  int relaunchResult = 0;
  std::vector<String> relaunched;
  String module;
  String temp;
  struct Start {
    String file, parameters, directory;
  };
  std::vector<Start> started;
  int copyExitCode = 0;  // what the started copy of the uninstaller returns
  std::vector<Entry> product;
  int installersCreated = 0;
  // The spawn service as the installer's creation found it.
  bool spawnInitialized = false;
  HWND spawnHandle = nullptr;
  bool spawnOwnsWindow = false;
  struct Shown {
    String text;
    unsigned flags;
    bool suppressed;
  };
  std::vector<Shown> shown;
};

class EntryTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    fake_.module = install_.Path() + u"ZUVASetup.exe";
    fake_.temp = temp_.Path();
  }

  TEntryEnvironment Environment() {
    TEntryEnvironment environment;
    environment.IsWinVistaOrLater = [this] { return fake_.vista; };
    environment.IsUserAnAdmin = [this] { return fake_.admin; };
    environment.RelaunchElevated = [this](const String& args) {
      fake_.relaunched.push_back(args);
      return fake_.relaunchResult;
    };
    environment.ModuleFileName = [this] { return fake_.module; };
    environment.TempFolder = [this] { return fake_.temp; };
    environment.StartProgram = [this](const String& file, const String& parameters, const String& directory) {
      fake_.started.push_back({file, parameters, directory});
      return fake_.copyExitCode;
    };
    environment.CreateInstaller = [this](const String& args) {
      ++fake_.installersCreated;
      fake_.spawnInitialized = TInstallerSpawnService::Initialized();
      fake_.spawnHandle = TInstallerSpawnService::Handle();
      fake_.spawnOwnsWindow = TInstallerSpawnService::OwnsWindow();
      return Create(args, DefaultSetup(), fake_.product);
    };
    environment.ShowMessage = [this](const String& text, unsigned flags) {
      fake_.shown.push_back({text, flags, dlx::MessageBoxesSuppressed()});
    };
    return environment;
  }

  int Run(const String& args) { return RunInstallerEntry(args, Environment()); }

  // The one error box the run showed.
  String ShownError() {
    EXPECT_EQ(fake_.shown.size(), 1u);
    if (fake_.shown.empty()) return String();
    EXPECT_EQ(fake_.shown[0].flags, static_cast<unsigned>(MB_ICONERROR));
    return fake_.shown[0].text;
  }

  static std::vector<Entry> UninstallPackage() { return {{u"Uninstall.ini", "[Uninstall]\r\nCount=0\r\n"}}; }

  SpawnServiceReset spawnReset_;
  TempFolder install_{u"install"};
  TempFolder temp_{u"temp"};
  FakeSystem fake_;
};

}  // namespace

TEST_F(EntryTest, WithoutElevationOnVistaTheProcessOnlyRelaunchesAndPassesTheExitCodeOn) {
  fake_.admin = false;
  fake_.relaunchResult = 1602;  // the user declined the prompt
  EXPECT_EQ(Run(u"/AUTO /SILENT"), InstallerExitCancelled);
  ASSERT_EQ(fake_.relaunched.size(), 1u);
  EXPECT_EQ(fake_.relaunched[0], u"/AUTO /SILENT");
  EXPECT_EQ(fake_.installersCreated, 0);
  EXPECT_TRUE(fake_.shown.empty()) << "a declined prompt ends quietly";

  fake_.relaunchResult = 1603;
  EXPECT_EQ(Run(u""), InstallerExitFailed);
  EXPECT_EQ(fake_.installersCreated, 0);
}

TEST_F(EntryTest, AStartWithSkipUacThatLacksRightsReportsInsteadOfRelaunchingAgain) {
  fake_.admin = false;
  EXPECT_EQ(Run(u"/SKIPUAC=0 /AUTO"), InstallerExitFailed);
  EXPECT_TRUE(fake_.relaunched.empty());
  EXPECT_EQ(fake_.installersCreated, 0);
  EXPECT_EQ(ShownError(), u"Administrator rights are required to process this operation.");
}

TEST_F(EntryTest, BeforeVistaSkipUacIsIgnoredAndANonAdministratorIsRefused) {
  fake_.vista = false;
  fake_.admin = false;
  EXPECT_EQ(Run(u"/AUTO"), InstallerExitFailed);
  EXPECT_TRUE(fake_.relaunched.empty());
  EXPECT_EQ(ShownError(), u"Administrator rights are required to process this operation.");

  fake_.admin = true;
  fake_.shown.clear();
  Product().actions = {&CreateAction<TRecordingAction>};
  EXPECT_EQ(Run(u"/SKIPUAC=4242 /AUTO=\"" + install_.Path() + u"\" /SILENT"), InstallerExitSuccess);
  EXPECT_FALSE(fake_.spawnInitialized);
}

TEST_F(EntryTest, SkipUacGivesThePartnerWindowOrAWindowOfOurOwnWhenItIsNoNumber) {
  Product().actions = {&CreateAction<TRecordingAction>};
  EXPECT_EQ(Run(u"/SKIPUAC=4242 /AUTO=\"" + install_.Path() + u"\" /SILENT"), InstallerExitSuccess);
  EXPECT_TRUE(fake_.spawnInitialized);
  EXPECT_EQ(reinterpret_cast<intptr_t>(fake_.spawnHandle), 4242);
  EXPECT_FALSE(fake_.spawnOwnsWindow);
  // The entry leaves the service as it found it.
  EXPECT_FALSE(TInstallerSpawnService::Initialized());

  EXPECT_EQ(Run(u"/SKIPUAC=window /AUTO=\"" + install_.Path() + u"\" /SILENT"), InstallerExitSuccess);
  EXPECT_TRUE(fake_.spawnOwnsWindow);
  EXPECT_NE(fake_.spawnHandle, nullptr);
  EXPECT_FALSE(IsWindow(fake_.spawnHandle)) << "the own spawn window is destroyed at the end";
  EXPECT_EQ(Trace().size(), 2u);
}

TEST_F(EntryTest, NoRegisteredProductInformationIsAStartUpFailure) {
  ProductInfoClass = nullptr;
  EXPECT_EQ(Run(u"/AUTO /SILENT"), InstallerExitFailed);
  EXPECT_EQ(ShownError(), u"ProductInfoClass is nil");
  EXPECT_EQ(fake_.installersCreated, 0);
}

TEST_F(EntryTest, ASilentInstallationRunsTheActionsAndStartsNothingAfterAFreshInstall) {
  Product().actions = {&CreateAction<TRecordingAction>, &CreateAction<TRecordingAction>};
  CopyDataRecorder partner;
  const String args = u"/SKIPUAC=" + dlx::IntToStr(reinterpret_cast<intptr_t>(partner.Window())) +
                      u" /AUTO=\"" + install_.Path() + u"\" /SILENT /RUN";
  EXPECT_EQ(Run(args), InstallerExitSuccess);
  EXPECT_EQ(Trace(), (std::vector<std::string>{"run", "run"}));
  EXPECT_TRUE(fake_.shown.empty());
  // Without an installed copy there is no update, so the programs default to off.
  EXPECT_TRUE(partner.Messages().empty());
  EXPECT_EQ(Installer, nullptr);
}

TEST_F(EntryTest, ASilentUpdateWithRunStartsThePostInstallProgramsThroughThePartner) {
  Product().canUpdate = true;
  Product().actions = {&CreateAction<TRecordingAction>};
  CopyDataRecorder partner;
  const String args = u"/SKIPUAC=" + dlx::IntToStr(reinterpret_cast<intptr_t>(partner.Window())) +
                      u" /AUTO=\"" + install_.Path() + u"\" /SILENT /RUN";
  EXPECT_EQ(Run(args), InstallerExitSuccess);
  ASSERT_EQ(partner.Messages().size(), 2u);
  EXPECT_EQ(partner.Messages()[0].text, install_.Path() + u"ZUVA.exe");
  EXPECT_EQ(partner.Messages()[1].text, install_.Path() + u"ReadMe.txt");
  EXPECT_EQ(partner.Messages()[0].tag, RegisterWindowMessageW(L"SpawnToken"));
}

TEST_F(EntryTest, ASilentRunWithErrorsShowsThemAllInOneBoxAndStartsNothing) {
  Product().canUpdate = true;
  Product().actions = {&CreateAction<TFailingAction>, &CreateAction<TRecordingAction>};
  CopyDataRecorder partner;
  const String args = u"/SKIPUAC=" + dlx::IntToStr(reinterpret_cast<intptr_t>(partner.Window())) +
                      u" /AUTO=\"" + install_.Path() + u"\" /SILENT /RUN";
  EXPECT_EQ(Run(args), InstallerExitFailed);
  EXPECT_EQ(ShownError(), u"first problem\r\nsecond problem");
  EXPECT_TRUE(Trace().empty()) << "the failure ends the run";
  EXPECT_TRUE(partner.Messages().empty());
}

TEST_F(EntryTest, AnUpdateWithoutAnInstalledCopyFailsBeforeAnyAction) {
  Product().actions = {&CreateAction<TRecordingAction>};
  EXPECT_EQ(Run(u"/AUTO=\"" + install_.Path() + u"\" /UPDATE /SILENT"), InstallerExitFailed);
  EXPECT_EQ(ShownError(), u"Cannot install update on v0.00");
  EXPECT_TRUE(Trace().empty());
}

TEST_F(EntryTest, AnInteractiveRunSaysThatTheWizardIsMissingAndInstallsNothing) {
  Product().actions = {&CreateAction<TRecordingAction>};
  EXPECT_EQ(Run(u""), InstallerExitFailed);
  EXPECT_NE(ShownError().find(u"wizard is not available"), String::npos);
  EXPECT_TRUE(Trace().empty());
}

TEST_F(EntryTest, AnUnattendedRunWithoutSilentRunsWithoutAWindow) {
  Product().actions = {&CreateAction<TRecordingAction>};
  EXPECT_EQ(Run(u"/AUTO=\"" + install_.Path() + u"\""), InstallerExitSuccess);
  EXPECT_EQ(Trace().size(), 1u);
  EXPECT_TRUE(fake_.shown.empty());
}

TEST_F(EntryTest, SuppressedMessageBoxesNeedAutoAndAreRestoredAfterwards) {
  ASSERT_FALSE(dlx::MessageBoxesSuppressed());
  EXPECT_EQ(Run(u"/AUTO=\"" + install_.Path() + u"\" /UPDATE /SUPPRESSMSGBOXES"), InstallerExitFailed);
  ASSERT_EQ(fake_.shown.size(), 1u);
  EXPECT_TRUE(fake_.shown[0].suppressed);
  EXPECT_FALSE(dlx::MessageBoxesSuppressed());

  fake_.shown.clear();
  EXPECT_EQ(Run(u"/SUPPRESSMSGBOXES"), InstallerExitFailed);  // interactive: the wizard is missing
  ASSERT_EQ(fake_.shown.size(), 1u);
  EXPECT_FALSE(fake_.shown[0].suppressed) << "without AUTO the switch is not read";
}

TEST_F(EntryTest, HelpShowsTheUsageAndDoesNothingElse) {
  fake_.admin = false;
  EXPECT_EQ(Run(u"/?"), InstallerExitSuccess);
  ASSERT_EQ(fake_.shown.size(), 1u);
  EXPECT_EQ(fake_.shown[0].flags, static_cast<unsigned>(MB_ICONINFORMATION));
  EXPECT_EQ(fake_.shown[0].text, UsageText());
  EXPECT_TRUE(fake_.relaunched.empty());
  EXPECT_EQ(fake_.installersCreated, 0);
}

TEST_F(EntryTest, ADotLocalRedirectionBesideTheProgramStopsTheStart) {
  Product().actions = {&CreateAction<TRecordingAction>};
  ASSERT_TRUE(dlx::ForceDirectories(fake_.module + u".local"));
  EXPECT_EQ(Run(u"/AUTO=\"" + temp_.Path() + u"\" /SILENT"), InstallerExitFailed);
  EXPECT_NE(ShownError().find(u"ZUVASetup.exe.local"), String::npos);
  EXPECT_EQ(fake_.installersCreated, 0);
  EXPECT_TRUE(Trace().empty());
}

TEST_F(EntryTest, TheLogOpensFirstSoThatStartUpFailuresAreInIt) {
  ProductInfoClass = nullptr;
  const String log = temp_.Path() + u"setup.log";
  EXPECT_EQ(Run(u"/AUTO /SILENT /LOG=\"" + log + u"\""), InstallerExitFailed);
  EXPECT_FALSE(dlx::TDLXLog::IsOpen()) << "the entry closes the log it opened";
  const std::string text = entrytest::ReadFile(log);
  EXPECT_NE(text.find("Setup starts"), std::string::npos);
  EXPECT_NE(text.find("Start-up failed: ProductInfoClass is nil"), std::string::npos);
  EXPECT_NE(text.find("exit code 1603"), std::string::npos);
}

TEST_F(EntryTest, ALogThatCannotBeWrittenStopsTheRunBeforeAnything) {
  Product().actions = {&CreateAction<TRecordingAction>};
  const String folder = temp_.Path() + u"taken.log";
  ASSERT_TRUE(dlx::ForceDirectories(folder));
  const String args = u"\"/AUTO=" + install_.Path() + u"\" /SILENT \"/LOG=" + folder + u"\"";
  EXPECT_EQ(Run(args), InstallerExitFailed);
  EXPECT_NE(ShownError().find(u"Setup cannot write the log \"" + folder + u"\""), String::npos);
  EXPECT_EQ(fake_.installersCreated, 0);
  EXPECT_TRUE(Trace().empty());

  fake_.shown.clear();
  EXPECT_EQ(Run(args + u" /SUPPRESSMSGBOXES"), InstallerExitFailed);
  ASSERT_EQ(fake_.shown.size(), 1u);
  EXPECT_TRUE(fake_.shown[0].suppressed);

  // Without rights the process only relaunches: the elevated copy may write where this one cannot.
  fake_.admin = false;
  EXPECT_EQ(Run(args), InstallerExitSuccess);
  EXPECT_EQ(fake_.relaunched.size(), 1u);
}

TEST_F(EntryTest, TheLogIsWrittenIntoTheFolderTheRunCreatesAndNamesIgnoredArguments) {
  Product().actions = {&CreateAction<TRecordingAction>};
  const String dest = temp_.Path() + u"Zuva Demo\\ZUVA";
  const String log = temp_.Path() + u"Zuva Demo\\install.log";
  EXPECT_EQ(Run(u"\"/AUTO=" + dest + u"\" /SILENT /SILNT \"/LOG=" + log + u"\""), InstallerExitSuccess);
  const std::string text = entrytest::ReadFile(log);
  EXPECT_NE(text.find("Ignored /SILNT: unknown switch"), std::string::npos) << text;
  EXPECT_NE(text.find("options Auto,Silent"), std::string::npos) << text;
  EXPECT_NE(text.find("Setup ends with exit code 0"), std::string::npos) << text;
}

// ---- the uninstaller

TEST_F(EntryTest, TheUninstallerWithAnExistingPathRunsTheRemovalThere) {
  fake_.product = UninstallPackage();
  fake_.module = temp_.Path() + u"ZUVA-copy\\Uninstall.exe";
  Product().actions = {&CreateAction<TRecordingAction>};
  String dest;
  struct DestListener : IInstallerNotify {
    String* dest;
    void Notify(TInstallerEvent event, intptr_t) override {
      if (event == ieFinished) *dest = Installer->DestPath();
    }
  } listener;
  listener.dest = &dest;
  TEntryEnvironment environment = Environment();
  auto create = environment.CreateInstaller;
  environment.CreateInstaller = [&](const String& args) {
    auto installer = create(args);
    installer->AddListener(&listener);
    return installer;
  };
  const String folder = dlx::ExcludeTrailingPathDelimiter(install_.Path());
  EXPECT_EQ(RunInstallerEntry(u"/PATH=\"" + folder + u"\" /AUTO /SILENT", environment), InstallerExitSuccess);
  EXPECT_EQ(dest, install_.Path());
  EXPECT_EQ(Trace().size(), 1u);
  EXPECT_TRUE(fake_.started.empty());
}

TEST(EntryFiles, TheUninstallersCopyStillRunningIsMovedAsideAndItsFolderRemoved) {
  TempFolder temp(u"copy");
  const String folder = temp.Path() + u"ZUVA-0123\\";
  const String program = folder + u"Uninstall.exe";
  ASSERT_TRUE(dlx::ForceDirectories(folder));
  // A real program, mapped as an image the way the system runs it: it cannot be deleted then.
  ASSERT_TRUE(dlx::CopyFile(dlx::GetExeName(), program, false));
  entrytest::WriteFile(folder + u"Uninstall.dat", "package bytes");
  {
    dlx::TScopedHandle file(CreateFileW(dlx::W(program), GENERIC_READ | GENERIC_EXECUTE,
                                        FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
    ASSERT_TRUE(file.Valid());
    dlx::TScopedHandle image(
        CreateFileMappingW(file.Get(), nullptr, PAGE_READONLY | SEC_IMAGE, 0, 0, nullptr));
    ASSERT_TRUE(image.Valid());
    void* view = MapViewOfFile(image.Get(), FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    RemoveUninstallerCopy(program);
    UnmapViewOfFile(view);
  }
  EXPECT_FALSE(dlx::FileExists(folder + u"Uninstall.dat"));
  EXPECT_FALSE(dlx::FileExists(program));
  EXPECT_FALSE(dlx::DirectoryExists(folder));
}

TEST_F(EntryTest, TheUninstallerInItsFolderRelaunchesAPrivateCopyFromTheTemporaryFolder) {
  fake_.product = UninstallPackage();
  fake_.module = install_.Path() + u"Uninstall.exe";
  entrytest::WriteFile(fake_.module, "program bytes");
  entrytest::WriteFile(install_.Path() + u"Uninstall.dat", "package bytes");
  Product().actions = {&CreateAction<TRecordingAction>};
  fake_.copyExitCode = InstallerExitCancelled;
  // The copy's files while it runs; once it has ended, the bootstrap removes them.
  std::string program, package;
  TEntryEnvironment environment = Environment();
  auto start = environment.StartProgram;
  environment.StartProgram = [&](const String& file, const String& parameters, const String& directory) {
    program = entrytest::ReadFile(directory + u"Uninstall.exe");
    package = entrytest::ReadFile(directory + u"Uninstall.dat");
    return start(file, parameters, directory);
  };

  EXPECT_EQ(RunInstallerEntry(u"/AUTO /SILENT", environment), InstallerExitCancelled)
      << "the copy's exit code is the uninstaller's";
  EXPECT_TRUE(Trace().empty()) << "the bootstrap runs no action";
  ASSERT_EQ(fake_.started.size(), 1u);
  const String copyFolder = fake_.started[0].directory;
  EXPECT_TRUE(
      dlx::SameText(dlx::ExtractFilePath(dlx::ExcludeTrailingPathDelimiter(copyFolder)), temp_.Path()));
  EXPECT_EQ(dlx::ExtractFileName(dlx::ExcludeTrailingPathDelimiter(copyFolder)).substr(0, 5), u"ZUVA-");
  EXPECT_EQ(fake_.started[0].file, copyFolder + u"Uninstall.exe");
  EXPECT_EQ(fake_.started[0].parameters, u"/PATH=\"" + install_.Path() + u"\" /AUTO /SILENT");
  EXPECT_EQ(program, "program bytes");
  EXPECT_EQ(package, "package bytes");
  EXPECT_TRUE(entrytest::SubFolders(temp_.Path(), u"ZUVA-").empty()) << "the copy's folder stays behind";
}

TEST_F(EntryTest, TheUninstallerCopyWithoutAUsablePathDoesNotRelaunchAgain) {
  fake_.product = UninstallPackage();
  // The copy lies in a folder of its own below the temporary folder.
  fake_.module = temp_.Path() + u"ZUVA-0123\\Uninstall.exe";
  EXPECT_EQ(Run(u"/AUTO /SILENT"), InstallerExitFailed);
  EXPECT_EQ(ShownError(), u"Cannot Start the Uninstaller");

  fake_.shown.clear();
  EXPECT_EQ(Run(u"/PATH=\"" + temp_.Path() + u"no such folder\\\" /AUTO /SILENT"), InstallerExitFailed);
  EXPECT_EQ(ShownError(), u"Cannot Start the Uninstaller");
  EXPECT_TRUE(fake_.started.empty());
}

TEST_F(EntryTest, TheUninstallerWithoutItsPackageLeavesNoFolderBehind) {
  fake_.product = UninstallPackage();
  fake_.module = install_.Path() + u"Uninstall.exe";
  entrytest::WriteFile(fake_.module, "program bytes");
  EXPECT_EQ(Run(u"/AUTO /SILENT"), InstallerExitFailed);
  const String error = ShownError();
  EXPECT_EQ(error.rfind(u"System Error.  Code: 2.\r\n", 0), 0u) << dlx::ToUtf8(error);
  EXPECT_NE(error.find(install_.Path() + u"Uninstall.dat -> "), String::npos) << dlx::ToUtf8(error);
  EXPECT_TRUE(fake_.started.empty());
  EXPECT_TRUE(entrytest::SubFolders(temp_.Path(), u"ZUVA-").empty());
}

TEST_F(EntryTest, WhileAnotherRunHoldsTheProductsLockARunChangesNothingAndExits1618) {
  Product().actions = {&CreateAction<TRecordingAction>};
  const String installed = install_.Path() + u"Uninstall.exe";
  entrytest::WriteFile(installed, "program bytes");
  entrytest::WriteFile(install_.Path() + u"Uninstall.dat", "package bytes");
  struct Case {
    const char* what;
    bool uninstaller;
    String args;
    bool suppressed;
  } cases[] = {
      {"silent installation", false, u"/AUTO=\"" + install_.Path() + u"\" /SILENT", false},
      {"unattended installation without boxes", false,
       u"/AUTO=\"" + install_.Path() + u"\" /SUPPRESSMSGBOXES", true},
      {"interactive installation", false, u"", false},
      {"installed uninstaller (bootstrap)", true, u"/AUTO /SILENT", false},
  };
  {
    TOtherRun other(u"ZUVA Test");
    ASSERT_TRUE(other.Holds());
    for (const Case& c : cases) {
      fake_.shown.clear();
      fake_.product = c.uninstaller ? UninstallPackage() : std::vector<Entry>{};
      fake_.module = c.uninstaller ? installed : install_.Path() + u"ZUVASetup.exe";
      EXPECT_EQ(Run(c.args), InstallerExitInProgress) << c.what;
      ASSERT_EQ(fake_.shown.size(), 1u) << c.what;
      EXPECT_EQ(fake_.shown[0].flags, static_cast<unsigned>(MB_ICONWARNING)) << c.what;
      EXPECT_NE(fake_.shown[0].text.find(u"Another setup of ZUVA Test is running"), String::npos) << c.what;
      EXPECT_EQ(fake_.shown[0].suppressed, c.suppressed) << c.what;
    }
    EXPECT_TRUE(Trace().empty()) << "no action ran";
    EXPECT_TRUE(fake_.started.empty()) << "no copy of the uninstaller was started";
    EXPECT_TRUE(entrytest::SubFolders(temp_.Path(), u"ZUVA-").empty()) << "nor copied";
  }
  // Once the other run has ended, the lock is free again.
  fake_.product = {};
  fake_.module = install_.Path() + u"ZUVASetup.exe";
  EXPECT_EQ(Run(u"/AUTO=\"" + install_.Path() + u"\" /SILENT"), InstallerExitSuccess);
  EXPECT_EQ(Trace().size(), 1u);
}

TEST_F(EntryTest, ARunThatLeavesWorkForTheNextRestartSucceedsWith3010) {
  Product().actions = {&CreateAction<TRestartAction>, &CreateAction<TRecordingAction>};
  EXPECT_EQ(Run(u"/AUTO=\"" + install_.Path() + u"\" /SILENT"), InstallerExitRestartNeeded);
  EXPECT_EQ(Trace().size(), 2u) << "the need ends nothing early";
  EXPECT_TRUE(fake_.shown.empty());
  // A later installer object in the same process starts without the need.
  Product().actions = {&CreateAction<TRecordingAction>};
  EXPECT_EQ(Run(u"/AUTO=\"" + install_.Path() + u"\" /SILENT"), InstallerExitSuccess);
}
