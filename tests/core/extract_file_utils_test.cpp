#include "core/errors.h"
#include "core/file_utils.h"
#include "core/pending_restart.h"
#include "lib/file_system.h"
#include "tests/core/extract_test_env.h"

using namespace extractenv;

namespace {

String SystemFolder() {
  wchar_t buffer[MAX_PATH];
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  return dlx::IncludeTrailingPathDelimiter(dlx::FromW(buffer, length));
}

TEST(DeleteFileOrSchedule, DeletesPlainAndReadOnlyFilesAndIgnoresMissingOnes) {
  TScratchFolder folder;
  const String plain = folder.Path() + u"plain.txt";
  const String readOnly = folder.Path() + u"read-only.txt";
  ASSERT_TRUE(WriteAll(plain, "x"));
  ASSERT_TRUE(WriteAll(readOnly, "y"));
  ASSERT_TRUE(dlx::SetFileAttributes(readOnly, dlx::faReadOnly));
  ClearRestartNeeded();
  DeleteFileOrSchedule(plain);
  DeleteFileOrSchedule(readOnly);
  EXPECT_FALSE(RestartNeeded());
  EXPECT_FALSE(Exists(plain));
  EXPECT_FALSE(Exists(readOnly));
  EXPECT_NO_THROW(DeleteFileOrSchedule(folder.Path() + u"missing.txt"));
}

TEST(DeleteFileOrSchedule, AFileInUseIsMovedAsideSoItsNameIsFree) {
  TScratchFolder folder;
  const String path = folder.Path() + u"running.exe";
  ASSERT_TRUE(dlx::CopyFile(dlx::GetExeName(), path, false));
  // Mapped as a program image, like a running program's file: it cannot be deleted, but it can be
  // renamed.
  HMODULE image = LoadLibraryExW(dlx::W(path), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(image, nullptr);
  const bool deletable = DeleteFileW(dlx::W(path)) != 0;
  if (deletable) {
    FreeLibrary(image);
    GTEST_SKIP() << "this system deletes files mapped as images; nothing to move aside";
  }
  ClearRestartNeeded();
  DeleteFileOrSchedule(path);
  EXPECT_FALSE(Exists(path));
  EXPECT_TRUE(WriteAll(path, "new")) << "the name is free for a new file";
  EXPECT_TRUE(RestartNeeded()) << "the file moved aside goes at the next restart";
  FreeLibrary(image);
}

TEST(DeleteFileOrSchedule, AFileThatCanNeitherBeDeletedNorMovedStaysWithoutError) {
  TScratchFolder folder;
  const String path = folder.Path() + u"held.txt";
  ASSERT_TRUE(WriteAll(path, "held"));
  {
    TFileLock lock(path, 0);
    ASSERT_TRUE(lock.Held());
    EXPECT_NO_THROW(DeleteFileOrSchedule(path));
    EXPECT_TRUE(Exists(path));
  }
  EXPECT_EQ(ReadAll(path), "held");
}

TEST(ExecuteAndWait, WaitsForTheProgramToEnd) {
  TScratchFolder folder;
  const String marker = folder.Path() + u"done.txt";
  // cmd waits for the ping before writing: without the wait the marker could not exist yet.
  EXPECT_TRUE(ExecuteAndWait(SystemFolder() + u"cmd.exe",
                             u"/c ping -n 2 127.0.0.1 >nul & echo done>\"" + marker + u"\""));
  EXPECT_TRUE(Exists(marker));
}

TEST(ExecuteAndWait, AProgramStillRunningAtTheLimitIsEndedAndTheWaitFails) {
  TScratchFolder folder;
  const String marker = folder.Path() + u"late.txt";
  EXPECT_THROW(ExecuteAndWait(SystemFolder() + u"cmd.exe",
                              u"/c ping -n 4 127.0.0.1 >nul & echo late>\"" + marker + u"\"", 1000),
               EInstallerInstallError);
  // Waited for to its end, or left running, the program writes its marker after three seconds.
  Sleep(5000);
  EXPECT_FALSE(Exists(marker)) << "the program was ended, not left running";
}

TEST(ExecuteAndWait, AProgramThatCannotStartIsReportedAsNotStarted) {
  TScratchFolder folder;
  EXPECT_FALSE(ExecuteAndWait(folder.Path() + u"no-such-program.exe", u"/x"));
}

}  // namespace
