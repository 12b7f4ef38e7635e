// The spawn protocol between two real processes: this test process is the non-elevated launcher
// (RelaunchElevated), a helper program is the elevated side that receives SKIPUAC and sends its
// spawn request back.
#include <windows.h>

#include <string>

#include "core/elevation.h"
#include "core/installer.h"
#include "core/spawn_service.h"
#include "lib/exceptions.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "tests/core/entry_test_support.h"

using dlx::String;
using entrytest::SpawnServiceReset;
using entrytest::TempFolder;

#if defined(ZUVA_SPAWN_PARTNER) && defined(ZUVA_SPAWN_PROGRAM)

namespace {

String Partner() {
  return dlx::FromUtf8(ZUVA_SPAWN_PARTNER);
}

// Waits (delivering messages) until the file exists; the started program runs on its own.
bool WaitForFile(const String& path) {
  for (int i = 0; i < 600 && !dlx::FileExists(path); ++i) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(100);
  }
  return dlx::FileExists(path);
}

}  // namespace

TEST(SpawnBetweenProcesses, TheElevatedSideStartsItsProgramThroughTheLauncher) {
  SpawnServiceReset reset;
  TempFolder folder(u"spawn");
  // The started stand-in writes its command line into Registrar.log beside itself.
  const String program = folder.Path() + u"Registrar.exe";
  ASSERT_TRUE(dlx::CopyFile(dlx::FromUtf8(ZUVA_SPAWN_PROGRAM), program, false));
  const String log = folder.Path() + u"launcher.log";
  ASSERT_TRUE(dlx::TDLXLog::Open(log));

  const int exitCode = RelaunchElevated(u"/SPAWN=\"" + program + u"\" /EXIT=7", Partner());
  dlx::TDLXLog::Close();
  // 90 or 91 would mean that the partner found no SKIPUAC window to talk to.
  EXPECT_EQ(exitCode, 7) << "the launcher passes the elevated process's exit code on";
  EXPECT_TRUE(TInstallerSpawnService::OwnsWindow());

  ASSERT_TRUE(WaitForFile(folder.Path() + u"Registrar.log"));
  const std::string started = entrytest::ReadFile(folder.Path() + u"Registrar.log");
  EXPECT_NE(started.find("Registrar.exe"), std::string::npos) << started;
  // The request reached this process's window, which started the program.
  const std::string launcher = entrytest::ReadFile(log);
  EXPECT_NE(launcher.find("Spawn request received: \"" + dlx::ToUtf8(program) + "\""), std::string::npos)
      << launcher;
}

TEST(SpawnBetweenProcesses, TheExitCodeOfASuccessfulElevatedRunIsZero) {
  SpawnServiceReset reset;
  EXPECT_EQ(RelaunchElevated(u"/EXIT=0", Partner()), InstallerExitSuccess);
}

TEST(SpawnBetweenProcesses, AProgramThatCannotBeStartedRaisesTheSystemError) {
  SpawnServiceReset reset;
  TempFolder folder(u"missing");
  try {
    RelaunchElevated(u"/AUTO", folder.Path() + u"missing.exe");
    FAIL() << "starting a missing program must raise";
  } catch (const dlx::EDLXOSError& e) {
    EXPECT_EQ(e.Message().rfind(u"System Error.  Code: ", 0), 0u) << e.what();
    EXPECT_NE(e.Code(), static_cast<uint32_t>(ERROR_CANCELLED));
  }
}

#endif
