#include "lib/win/system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "lib/log.h"

using namespace dlx;

TEST(SystemVersion, FlagsAreConsistentAndNeverBelowTheDocumentedAnswer) {
  const TDLXSystemVersion& v = SystemVersion();
  EXPECT_GE(v.Major, 5u);
  EXPECT_EQ(IsWinVistaOrLater(), v.Major >= 6);
  EXPECT_EQ(IsWin10OrLater(), v.Major >= 10);
  if (IsWin10OrLater()) {
    EXPECT_TRUE(IsWin7OrLater());
  }
  if (IsWin7OrLater()) {
    EXPECT_TRUE(IsWinVistaOrLater());
  }
  // GetVersionExW may understate the version for unmanifested programs, never overstate it.
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  ASSERT_TRUE(GetVersionExW(&info));
#pragma GCC diagnostic pop
  EXPECT_GE(v.Major * 100 + v.Minor, info.dwMajorVersion * 100 + info.dwMinorVersion);
}

TEST(MessageBox, SafeDefaultNeverRetriesOrAgrees) {
  EXPECT_EQ(SafeMessageBoxResult(MB_OK | MB_ICONERROR), IDOK);
  EXPECT_EQ(SafeMessageBoxResult(MB_OKCANCEL), IDCANCEL);
  EXPECT_EQ(SafeMessageBoxResult(MB_ABORTRETRYIGNORE | MB_DEFBUTTON2 | MB_ICONWARNING), IDABORT);
  EXPECT_EQ(SafeMessageBoxResult(MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(SafeMessageBoxResult(MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(SafeMessageBoxResult(MB_RETRYCANCEL), IDCANCEL);
}

TEST(MessageBox, SuppressedBoxAnswersAtOnceAndLogsItsText) {
  namespace fs = std::filesystem;
  const fs::path logFile = fs::temp_directory_path() / "dlx_win_message_box_test.log";
  fs::remove(logFile);
  ASSERT_TRUE(TDLXLog::Open(logFile.u16string()));
  SetSuppressMessageBoxes(true);
  const int answer = ShowErrorBox(nullptr, u"Disk full", u"Setup", MB_YESNO | MB_ICONERROR);
  SetSuppressMessageBoxes(false);
  TDLXLog::Close();
  EXPECT_EQ(answer, IDNO);
  std::ifstream in(logFile);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  fs::remove(logFile);
  EXPECT_NE(all.find("Setup: Disk full"), std::string::npos) << all;
}

TEST(ThreadErrorMode, ChangesTheCallingThreadOnlyAndRestoresIt) {
  using TGetThreadErrorMode = DWORD(WINAPI*)();
  const auto get = reinterpret_cast<TGetThreadErrorMode>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadErrorMode")));
  if (!get) GTEST_SKIP() << "no per-thread error mode on this system";
  const DWORD before = get();
  const UINT processBefore = GetErrorMode();
  {
    dlx::TThreadErrorMode mode(SEM_NOOPENFILEERRORBOX);
    EXPECT_EQ(get(), before | SEM_NOOPENFILEERRORBOX);
    EXPECT_EQ(GetErrorMode(), processBefore) << "the process's mode is left alone";
    DWORD other = 0;
    std::thread([&] { other = get(); }).join();
    EXPECT_EQ(other & SEM_NOOPENFILEERRORBOX, before & SEM_NOOPENFILEERRORBOX);
  }
  EXPECT_EQ(get(), before);
}
