#include <windows.h>

#include <atomic>

#include "core/activex.h"
#include "lib/file_system.h"
#include "tests/core/extract_test_env.h"

namespace {

std::atomic<int> gProbeCalls{0};

}  // namespace

// Exported by the test program itself, so that loading the program's file as a library and calling
// this export can be observed. cdecl: the name stays undecorated on 32-bit, and a call without
// arguments is the same in both conventions.
extern "C" __declspec(dllexport) HRESULT ZuvaActiveXProbe() {
  ++gProbeCalls;
  return S_OK;
}

namespace {

using dlx::String;

TEST(ActiveX, CallsTheExportOfTheLibraryAndRestoresTheCurrentFolder) {
  const String before = dlx::GetCurrentDir();
  const UINT modeBefore = SetErrorMode(0);
  SetErrorMode(modeBefore);
  gProbeCalls = 0;
  EXPECT_TRUE(TInstallerActiveX::CallExport(dlx::GetExeName(), "ZuvaActiveXProbe"));
  EXPECT_EQ(gProbeCalls.load(), 1);
  EXPECT_EQ(dlx::GetCurrentDir(), before);
  EXPECT_EQ(SetErrorMode(modeBefore), modeBefore);
  // The program does not export the server's function: skipped.
  EXPECT_FALSE(TInstallerActiveX::UnregisterServer(dlx::GetExeName()));
  EXPECT_EQ(gProbeCalls.load(), 1);
}

TEST(ActiveX, AMissingOrBrokenLibraryIsSkipped) {
  extractenv::TScratchFolder folder;
  const String before = dlx::GetCurrentDir();
  EXPECT_FALSE(TInstallerActiveX::UnregisterServer(folder.Path() + u"missing.dll"));
  const String broken = folder.Path() + u"broken.dll";
  ASSERT_TRUE(extractenv::WriteAll(broken, "MZ but not a library"));
  EXPECT_FALSE(TInstallerActiveX::UnregisterServer(broken));
  EXPECT_EQ(dlx::GetCurrentDir(), before);
}

}  // namespace
