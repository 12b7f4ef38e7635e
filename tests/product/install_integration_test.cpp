// The actions that finish a fresh installation (shortcuts, the integration program) and the
// closing of the product's running windows that opens every run.
#include <windows.h>

#include "core/errors.h"
#include "core/resources.h"
#include "lib/log.h"
#include "lib/win/handles.h"
#include "lib/win/system.h"
#include "product/close_applications_action.h"
#include "product/integrate_action.h"
#include "product/run_journal.h"
#include "product/shell_link.h"
#include "product/shortcuts_action.h"
#include "tests/product/product_test_env.h"

using namespace productenv;
using extractenv::Exists;
using extractenv::ReadAll;

namespace {

FILETIME WriteTime(const String& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(dlx::W(path), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

String LinkTarget(const String& link) {
  String target;
  return ReadShellLinkTarget(link, target) ? target : u"<no link>";
}

// Shortcuts go to the real desktop and start menu, under names of this process only.
class ShortcutsTest : public ProductTest {
 protected:
  void TearDown() override {
    if (installer_) {
      for (const char16_t* name : {u".lnk", u" Other.lnk", u" Readme.lnk"})
        dlx::DeleteFile(Desktop() + tag_ + name);
      dlx::DeleteDirectory(StartMenu() + tag_ + u"\\", true);
    }
    ProductTest::TearDown();
  }
  void MakeWithTargets(const String& extraArgs) {
    MakeInstall(extraArgs, {{u"$DESKTOP\\" + tag_ + u".lnk", u"$DEST\\app.exe"},
                            {u"$DESKTOP\\" + tag_ + u" Other.lnk", u"$DEST\\app.exe"},
                            {u"$STARTMENU\\" + tag_ + u"\\app.lnk", u"$DEST\\app.exe"},
                            // Recognized as a start-menu entry, but a variable in lower case is
                            // not replaced: no place to put it.
                            {u"$startmenu\\" + tag_ + u"\\lower.lnk", u"$DEST\\app.exe"},
                            {u"$DESKTOP\\" + tag_ + u" Readme.lnk", u"$DEST\\readme.txt"},
                            {u"$DESKTOP\\" + tag_ + u" Missing.lnk", u"$DEST\\missing.exe"}});
    extractenv::WriteAll(Dest() + u"app.exe", "MZ");
    extractenv::WriteAll(Dest() + u"readme.txt", "text");
  }
  String Desktop() { return installer_->Resources().DesktopPath(); }
  String StartMenu() { return installer_->Resources().StartMenuPath(); }
  const String tag_ = u"ZUVA Test " + dlx::IntToStr(GetCurrentProcessId());
};

TEST_F(ShortcutsTest, ChosenLinksAreWrittenKeptOrReplacedAndUndoingTheRunPutsAllBack) {
  MakeWithTargets(u"");
  const String kept = Desktop() + tag_ + u".lnk", other = Desktop() + tag_ + u" Other.lnk";
  ASSERT_TRUE(WriteShellLink(kept, Dest() + u"app.exe"));
  ASSERT_TRUE(WriteShellLink(other, Dest() + u"readme.txt"));
  const FILETIME old{0x2A3F0000, 0x01D00000};  // 2014
  for (const String& link : {kept, other}) {
    dlx::TScopedHandle file(
        CreateFileW(dlx::W(link), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    SetFileTime(file.Get(), nullptr, nullptr, &old);
  }
  const std::string otherBefore = ReadAll(other);
  RunJournal().Reset();
  const String current = dlx::GetCurrentDir();
  ASSERT_TRUE(dlx::SetCurrentDir(Dest()));
  TInstallerActionShortcuts action;
  action.Execute();
  dlx::SetCurrentDir(current);

  const FILETIME keptTime = WriteTime(kept);
  EXPECT_EQ(CompareFileTime(&keptTime, &old), 0) << "a correct shortcut was rewritten";
  EXPECT_EQ(LinkTarget(other), Dest() + u"app.exe");
  EXPECT_EQ(LinkTarget(StartMenu() + tag_ + u"\\app.lnk"), Dest() + u"app.exe");
  EXPECT_FALSE(Exists(StartMenu() + tag_ + u"\\lower.lnk"));
  EXPECT_FALSE(dlx::DirectoryExists(Dest() + u"$startmenu")) << "a relative link path was used";
  // Windows 8 and later show shortcuts to programs only; a missing target gets none.
  EXPECT_EQ(Exists(Desktop() + tag_ + u" Readme.lnk"), !dlx::IsWin10OrLater());
  EXPECT_FALSE(Exists(Desktop() + tag_ + u" Missing.lnk"));
  EXPECT_EQ(action.Progress(), 100);

  EXPECT_EQ(RunJournal().Rollback(), u"");
  EXPECT_EQ(ReadAll(other), otherBefore);
  EXPECT_TRUE(Exists(kept));
  EXPECT_FALSE(dlx::DirectoryExists(StartMenu() + tag_)) << "the new start-menu folder stays";
}

TEST_F(ShortcutsTest, APortableCopyGetsOnlyTheShortcutsAskedFor) {
  MakeWithTargets(u" /PORTABLE");
  installer_->Settings().WriteBool(u"Integration", u"ShortcutStartMenu", true);
  TInstallerActionShortcuts().Execute();
  EXPECT_FALSE(Exists(Desktop() + tag_ + u".lnk"));
  EXPECT_TRUE(Exists(StartMenu() + tag_ + u"\\app.lnk"));
}

using IntegrateTest = ProductTest;

TEST_F(IntegrateTest, SwitchesFollowTheChoicesTheRunAndTheWindowsVersion) {
  struct Case {
    bool unattended, windows8;
    int integrate, menu, associate;  // -1: not written (on)
    const char16_t* expected;
  };
  const Case cases[] = {
      {true, true, -1, -1, -1, u" /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2"},
      {false, true, -1, -1, -1, u" /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2 /REG_UI"},
      {false, false, -1, -1, -1, u" /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2"},
      {false, true, 0, 0, 1, u" /REG=R2 /REG_UI"},
      {true, true, 1, 0, 0, u" /REG=L1 /REG=D1 /REG=R1"},
      {true, true, 0, 1, 0, u" /REG=M1"},
      {true, true, 0, 0, 0, u""},
  };
  for (const Case& c : cases) {
    c.unattended ? MakeInstall() : Make(u"");
    dlx::TDLXIniFile& settings = installer_->Settings();
    if (c.integrate >= 0) settings.WriteBool(u"Integration", u"IntegrateToWindows", c.integrate);
    if (c.menu >= 0) settings.WriteBool(u"Integration", u"RegisterContextMenu", c.menu);
    if (c.associate >= 0) settings.WriteBool(u"Integration", u"AssociateWithFiles", c.associate);
    EXPECT_EQ(dlx::ToUtf8(TInstallerActionIntegrate().BuildSwitches(c.windows8)), dlx::ToUtf8(c.expected));
    installer_.reset();
  }
}

#ifdef ZUVA_SAMPLE_REGISTRAR
TEST_F(IntegrateTest, TheProgramPathIsQuotedSoNoProgramPlantedBeforeABlankRuns) {
  // Unquoted, "<scratch>\ZUVA Player\Registrar.exe /REG=..." would start "<scratch>\ZUVA.exe".
  const String dest = Dest() + u"ZUVA Player\\";
  ASSERT_TRUE(dlx::ForceDirectories(dest));
  Make(u"/AUTO=\"" + dlx::ExcludeTrailingPathDelimiter(dest) + u"\"");
  TInstallerActionIntegrate().Execute();  // no integration program: nothing happens
  EXPECT_FALSE(Exists(dest + u"Registrar.log"));
  const String registrar = dlx::FromUtf8(ZUVA_SAMPLE_REGISTRAR);
  ASSERT_TRUE(dlx::CopyFile(registrar, dest + u"Registrar.exe", false));
  ASSERT_TRUE(dlx::CopyFile(registrar, Dest() + u"ZUVA.exe", false));
  TInstallerActionIntegrate().Execute();
  EXPECT_EQ(ReadAll(dest + u"Registrar.log"),
            "\"" + dlx::ToUtf8(dest) + "Registrar.exe\" /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2\r\n");
  EXPECT_FALSE(Exists(Dest() + u"ZUVA.log")) << "the planted program ran";
}
#endif

// ---- closing the product's windows

LRESULT CALLBACK StubbornProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return message == WM_CLOSE ? 0 : DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow(const wchar_t* windowClass, WNDPROC proc) {
  WNDCLASSW registration{};
  registration.lpfnWndProc = proc;
  registration.hInstance = GetModuleHandleW(nullptr);
  registration.lpszClassName = windowClass;
  RegisterClassW(&registration);  // fails harmlessly once registered
  return CreateWindowExW(0, windowClass, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

class TTestCloseApplications : public TInstallerActionCloseApplications {
 protected:
  std::vector<String> WindowClasses() override { return {u"ZUVATestClosingForm", u"ZUVATestStubbornForm"}; }
  DWORD PassPauseMs() override { return 20; }
  DWORD UnattendedLimitMs() override { return 300; }
};

class CloseApplicationsTest : public ProductTest {
 protected:
  void SetUp() override {
    ProductTest::SetUp();
    dlx::TDLXLog::Open(Dest() + u"run.log");
    MakeInstall();
  }
  void TearDown() override {
    dlx::TDLXLog::Close();
    dlx::SetSuppressMessageBoxes(false);
    ProductTest::TearDown();
  }
  std::string Log() { return ReadAll(Dest() + u"run.log"); }
};

TEST_F(CloseApplicationsTest, EachPassClosesOneWindowPerClassUntilAPassFindsNone) {
  HWND first = MakeWindow(L"ZUVATestClosingForm", DefWindowProcW);
  HWND second = MakeWindow(L"ZUVATestClosingForm", DefWindowProcW);
  ASSERT_TRUE(first && second);
  TTestCloseApplications().Execute();
  EXPECT_FALSE(IsWindow(first) || IsWindow(second));
  const std::string log = Log();
  for (const char* pass : {"pass 1: asked to close ZUVATestClosingForm",
                           "pass 2: asked to close ZUVATestClosingForm", "pass 3: no window found"})
    EXPECT_NE(log.find(pass), std::string::npos) << log;
  EXPECT_EQ(log.find("pass 4"), std::string::npos) << log;
}

TEST_F(CloseApplicationsTest, AnUnattendedRunGivesUpOnAWindowThatStaysWithAClearError) {
  dlx::SetSuppressMessageBoxes(true);
  HWND stubborn = MakeWindow(L"ZUVATestStubbornForm", StubbornProc);
  HWND closing = MakeWindow(L"ZUVATestClosingForm", DefWindowProcW);
  ASSERT_TRUE(stubborn && closing);
  const ULONGLONG start = GetTickCount64();
  try {
    TTestCloseApplications().Execute();
    ADD_FAILURE() << "a window that never closes must end the run";
  } catch (const EInstallerInstallError& e) {
    const std::string message = dlx::ToUtf8(e.Message());
    EXPECT_NE(message.find("ZUVA Test"), std::string::npos) << message;
    EXPECT_NE(message.find("(ZUVATestStubbornForm)"), std::string::npos) << message;
  }
  EXPECT_LT(GetTickCount64() - start, 5000u);
  EXPECT_FALSE(IsWindow(closing));
  EXPECT_NE(Log().find("still open after"), std::string::npos);
  DestroyWindow(stubborn);
}

}  // namespace
