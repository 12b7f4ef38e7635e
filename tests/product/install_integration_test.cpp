// The actions that finish a fresh installation: shortcuts, the integration program's switches,
// closing the product's running windows, and their summary lines.
#include <windows.h>

#include "core/errors.h"
#include "core/resources.h"
#include "lib/log.h"
#include "lib/win/system.h"
#include "product/close_applications_action.h"
#include "product/integrate_action.h"
#include "product/run_journal.h"
#include "product/shell_link.h"
#include "product/shortcuts_action.h"
#include "tests/product/product_test_env.h"

using namespace productenv;
using extractenv::Exists;
using extractenv::WriteAll;

namespace {

FILETIME WriteTime(const String& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(dlx::W(path), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

void SetWriteTime(const String& path, FILETIME time) {
  HANDLE file =
      CreateFileW(dlx::W(path), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

String LinkTarget(const String& link) {
  String target;
  return ReadShellLinkTarget(link, target) ? target : u"<no link>";
}

// Shortcuts go to the real desktop and start menu, under names of this process only, removed
// again afterwards.
class ShortcutsTest : public ProductTest {
 protected:
  void SetUp() override {
    ProductTest::SetUp();
    tag_ = u"ZUVA Test " + dlx::IntToStr(GetCurrentProcessId());
  }
  void TearDown() override {
    if (installer_) {
      dlx::DeleteFile(Desktop() + tag_ + u".lnk");
      dlx::DeleteFile(Desktop() + tag_ + u" Readme.lnk");
      dlx::DeleteDirectory(StartMenu() + tag_ + u"\\", true);
    }
    ProductTest::TearDown();
  }
  String Desktop() { return installer_->Resources().DesktopPath(); }
  String StartMenu() { return installer_->Resources().StartMenuPath(); }
  std::vector<Shortcut> Shortcuts() {
    return {{u"$DESKTOP\\" + tag_ + u".lnk", u"$DEST\\app.exe"},
            {u"$STARTMENU\\" + tag_ + u"\\app.lnk", u"$DEST\\app.exe"},
            // Written in lower case: recognized as a start-menu entry, but the variable is not
            // replaced, so there is no place to put it.
            {u"$startmenu\\" + tag_ + u"\\lower.lnk", u"$DEST\\app.exe"},
            {u"$DESKTOP\\" + tag_ + u" Readme.lnk", u"$DEST\\readme.txt"},
            {u"$DESKTOP\\" + tag_ + u" Missing.lnk", u"$DEST\\missing.exe"}};
  }
  void MakeWithTargets(const String& extraArgs = {}) {
    MakeInstall(extraArgs, Shortcuts());
    WriteAll(Dest() + u"app.exe", "MZ");
    WriteAll(Dest() + u"readme.txt", "text");
  }
  String tag_;
};

TEST_F(ShortcutsTest, OnlyChosenLocationsAndProgramTargetsGetShortcuts) {
  MakeWithTargets();
  installer_->Settings().WriteBool(u"Integration", u"ShortcutStartMenu", false);
  TInstallerActionShortcuts action;
  action.Execute();
  EXPECT_EQ(LinkTarget(Desktop() + tag_ + u".lnk"), Dest() + u"app.exe");
  EXPECT_FALSE(dlx::DirectoryExists(StartMenu() + tag_)) << "the start menu was not chosen";
  // Windows 8 and later: a shortcut to a document is left out; a missing target gives none.
  EXPECT_EQ(Exists(Desktop() + tag_ + u" Readme.lnk"), !dlx::IsWin10OrLater());
  EXPECT_FALSE(Exists(Desktop() + tag_ + u" Missing.lnk"));
  EXPECT_EQ(action.Progress(), 100);
}

TEST_F(ShortcutsTest, AStartMenuShortcutGetsItsFolderAndAnUnreplacedVariableNone) {
  MakeWithTargets();
  const String current = dlx::GetCurrentDir();
  ASSERT_TRUE(dlx::SetCurrentDir(Dest()));
  TInstallerActionShortcuts action;
  action.Execute();
  dlx::SetCurrentDir(current);
  EXPECT_EQ(LinkTarget(StartMenu() + tag_ + u"\\app.lnk"), Dest() + u"app.exe");
  EXPECT_FALSE(Exists(StartMenu() + tag_ + u"\\lower.lnk"));
  EXPECT_FALSE(dlx::DirectoryExists(Dest() + u"$startmenu")) << "a relative link path was used";
}

TEST_F(ShortcutsTest, ACorrectShortcutIsKeptAndAnotherTargetIsReplaced) {
  MakeWithTargets();
  const String desktopLink = Desktop() + tag_ + u".lnk";
  const String startLink = StartMenu() + tag_ + u"\\app.lnk";
  ASSERT_TRUE(WriteShellLink(desktopLink, Dest() + u"app.exe"));
  dlx::ForceDirectories(StartMenu() + tag_);
  ASSERT_TRUE(WriteShellLink(startLink, Dest() + u"readme.txt"));
  const FILETIME old{0x2A3F0000, 0x01D00000};  // 2014
  SetWriteTime(desktopLink, old);
  SetWriteTime(startLink, old);
  TInstallerActionShortcuts action;
  action.Execute();
  const FILETIME kept = WriteTime(desktopLink);
  EXPECT_EQ(CompareFileTime(&kept, &old), 0) << "the correct shortcut was rewritten";
  EXPECT_EQ(LinkTarget(startLink), Dest() + u"app.exe");
  const FILETIME replaced = WriteTime(startLink);
  EXPECT_NE(CompareFileTime(&replaced, &old), 0);
}

TEST_F(ShortcutsTest, UndoingTheRunRemovesNewShortcutsAndPutsReplacedOnesBack) {
  MakeWithTargets();
  RunJournal().Reset();
  const String desktopLink = Desktop() + tag_ + u".lnk";
  ASSERT_TRUE(WriteShellLink(desktopLink, Dest() + u"readme.txt"));
  const std::string before = extractenv::ReadAll(desktopLink);
  TInstallerActionShortcuts action;
  action.Execute();
  ASSERT_EQ(LinkTarget(desktopLink), Dest() + u"app.exe");
  ASSERT_TRUE(Exists(StartMenu() + tag_ + u"\\app.lnk"));
  EXPECT_EQ(RunJournal().Rollback(), u"");
  EXPECT_EQ(extractenv::ReadAll(desktopLink), before);
  EXPECT_FALSE(dlx::DirectoryExists(StartMenu() + tag_)) << "the new start-menu folder stays";
}

TEST_F(ShortcutsTest, APortableCopyGetsNoShortcutsUnlessAsked) {
  MakeWithTargets(u" /PORTABLE");
  TInstallerActionShortcuts action;
  action.Execute();
  EXPECT_FALSE(Exists(Desktop() + tag_ + u".lnk"));
  EXPECT_FALSE(dlx::DirectoryExists(StartMenu() + tag_));
}

TEST_F(ShortcutsTest, SummaryLinesFollowTheChoices) {
  struct Case {
    const char16_t* extraArgs;
    int desktop;  // -1: not written
    int startMenu;
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"", -1, -1, u"Shortcuts\r\n    Desktop\r\n    Start menu\r\n"},
      {u" /PORTABLE", -1, -1, u""},
      {u" /PORTABLE", -1, 1, u"Shortcuts\r\n    Start menu\r\n"},
      {u"", 0, 1, u"Shortcuts\r\n    Start menu\r\n"},
  };
  for (const Case& c : cases) {
    MakeInstall(c.extraArgs);
    if (c.desktop >= 0) installer_->Settings().WriteBool(u"Integration", u"ShortcutDesktop", c.desktop);
    if (c.startMenu >= 0) installer_->Settings().WriteBool(u"Integration", u"ShortcutStartMenu", c.startMenu);
    TInstallerSummaryBuilder builder;
    TInstallerActionShortcuts().BuildSummary(builder);
    EXPECT_EQ(dlx::ToUtf8(builder.ToString()), dlx::ToUtf8(c.expected)) << dlx::ToUtf8(c.extraArgs);
    installer_.reset();
  }
}

using IntegrateTest = ProductTest;

TEST_F(IntegrateTest, SwitchesFollowTheChoicesTheRunAndTheWindowsVersion) {
  struct Case {
    const char16_t* extraArgs;  // after /AUTO=...; empty string: an interactive run
    bool windows8;
    int integrate, menu, associate;  // -1: not written (on)
    const char16_t* expected;
  };
  const Case cases[] = {
      {u"", true, -1, -1, -1, u" /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2"},
      {nullptr, true, -1, -1, -1, u" /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2 /REG_UI"},
      {nullptr, false, -1, -1, -1, u" /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2"},
      {nullptr, true, 0, 0, 1, u" /REG=R2 /REG_UI"},
      {u"", true, 1, 0, 0, u" /REG=L1 /REG=D1 /REG=R1"},
      {u"", true, 0, 1, 0, u" /REG=M1"},
      {u"", true, 0, 0, 0, u""},
  };
  for (const Case& c : cases) {
    if (c.extraArgs)
      MakeInstall(c.extraArgs);
    else
      Make(u"");  // no /AUTO: an interactive run
    dlx::TDLXIniFile& settings = installer_->Settings();
    if (c.integrate >= 0) settings.WriteBool(u"Integration", u"IntegrateToWindows", c.integrate);
    if (c.menu >= 0) settings.WriteBool(u"Integration", u"RegisterContextMenu", c.menu);
    if (c.associate >= 0) settings.WriteBool(u"Integration", u"AssociateWithFiles", c.associate);
    EXPECT_EQ(dlx::ToUtf8(TInstallerActionIntegrate().BuildSwitches(c.windows8)), dlx::ToUtf8(c.expected));
    installer_.reset();
  }
}

TEST_F(IntegrateTest, SummaryListsTheChosenIntegration) {
  MakeInstall();
  installer_->Settings().WriteBool(u"Integration", u"RegisterContextMenu", false);
  TInstallerSummaryBuilder builder;
  TInstallerActionIntegrate().BuildSummary(builder);
  EXPECT_EQ(dlx::ToUtf8(builder.ToString()), "Integration\r\n    Register\r\n    Associate\r\n");
}

#ifdef ZUVA_SAMPLE_REGISTRAR
TEST_F(IntegrateTest, TheProgramPathIsQuotedSoNoProgramPlantedBeforeABlankRuns) {
  // Destination "<scratch>\\ZUVA Player\\": unquoted, its command line would start "<scratch>\\ZUVA.exe".
  const String dest = Dest() + u"ZUVA Player\\";
  ASSERT_TRUE(dlx::ForceDirectories(dest));
  const String registrar = dlx::FromUtf8(ZUVA_SAMPLE_REGISTRAR);
  ASSERT_TRUE(dlx::CopyFile(registrar, dest + u"Registrar.exe", false));
  ASSERT_TRUE(dlx::CopyFile(registrar, Dest() + u"ZUVA.exe", false));
  Make(u"/AUTO=\"" + dlx::ExcludeTrailingPathDelimiter(dest) + u"\"");
  ASSERT_EQ(installer_->DestPath(), dest);
  TInstallerActionIntegrate action;
  action.Execute();
  EXPECT_EQ(extractenv::ReadAll(dest + u"Registrar.log"),
            "\"" + dlx::ToUtf8(dest) + "Registrar.exe\" /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2\r\n");
  EXPECT_FALSE(Exists(Dest() + u"ZUVA.log")) << "the planted program ran";
}
#endif

TEST_F(IntegrateTest, WithoutTheIntegrationProgramNothingHappens) {
  MakeInstall();
  TInstallerActionIntegrate action;
  EXPECT_NO_THROW(action.Execute());
  EXPECT_FALSE(Exists(Dest() + u"Registrar.log"));
}

// ---- closing the product's windows

const wchar_t kClosingClass[] = L"ZUVATestClosingForm";
const wchar_t kStubbornClass[] = L"ZUVATestStubbornForm";

LRESULT CALLBACK StubbornProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) return 0;  // a window that will not close
  return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterClassOnce(const wchar_t* name, WNDPROC proc) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = proc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = name;
  RegisterClassW(&windowClass);
}

HWND MakeWindow(const wchar_t* windowClass) {
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
    RegisterClassOnce(kClosingClass, DefWindowProcW);
    RegisterClassOnce(kStubbornClass, StubbornProc);
    log_ = Dest() + u"run.log";
    dlx::TDLXLog::Open(log_);
  }
  void TearDown() override {
    dlx::TDLXLog::Close();
    dlx::SetSuppressMessageBoxes(false);
    ProductTest::TearDown();
  }
  std::string Log() { return extractenv::ReadAll(log_); }
  String log_;
};

TEST_F(CloseApplicationsTest, EachPassClosesOneWindowPerClassUntilAPassFindsNone) {
  MakeInstall();
  HWND first = MakeWindow(kClosingClass);
  HWND second = MakeWindow(kClosingClass);
  ASSERT_TRUE(first && second);
  TTestCloseApplications action;
  action.Execute();
  EXPECT_FALSE(IsWindow(first));
  EXPECT_FALSE(IsWindow(second));
  const std::string log = Log();
  EXPECT_NE(log.find("pass 1: asked to close ZUVATestClosingForm"), std::string::npos) << log;
  EXPECT_NE(log.find("pass 2: asked to close ZUVATestClosingForm"), std::string::npos) << log;
  EXPECT_NE(log.find("pass 3: no window found"), std::string::npos) << log;
  EXPECT_EQ(log.find("pass 4"), std::string::npos) << log;
}

TEST_F(CloseApplicationsTest, AnUnattendedRunGivesUpOnAWindowThatStaysWithAClearError) {
  MakeInstall();
  dlx::SetSuppressMessageBoxes(true);
  HWND stubborn = MakeWindow(kStubbornClass);
  HWND closing = MakeWindow(kClosingClass);
  ASSERT_TRUE(stubborn && closing);
  TTestCloseApplications action;
  const ULONGLONG start = GetTickCount64();
  try {
    action.Execute();
    ADD_FAILURE() << "a window that never closes must end the run";
  } catch (const EInstallerInstallError& e) {
    const std::string message = dlx::ToUtf8(e.Message());
    EXPECT_NE(message.find("ZUVATestStubbornForm"), std::string::npos) << message;
    EXPECT_EQ(message.find("ZUVATestClosingForm"), std::string::npos) << message;
    EXPECT_NE(message.find("ZUVA Test"), std::string::npos) << message;
  }
  EXPECT_LT(GetTickCount64() - start, 5000u);
  EXPECT_FALSE(IsWindow(closing));
  EXPECT_NE(Log().find("still open after"), std::string::npos);
  DestroyWindow(stubborn);
}

}  // namespace
