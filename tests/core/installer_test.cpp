#include "core/installer.h"

#include <thread>

// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include "core/errors.h"
#include "core/paths.h"
#include "core/resources.h"
#include "lib/file_system.h"
#include "lib/win/system.h"
#include "lib/win/thread.h"
#include "tests/core/installer_fixture.h"

using namespace testenv;
using dlx::String;

namespace {

class OptionsTest : public EngineTest {
 protected:
  // The default destination: Program Files, the product name, a backslash.
  static String DefaultDest(TInstaller& installer) {
    return installer.Resources().ProgramFilesPath() + u"ZUVA Test\\";
  }
};

TInstallerOptions Opts(std::initializer_list<TInstallerOption> options) {
  return TInstallerOptions(options);
}

}  // namespace

TEST(InstallerOptions, BitsAreTheDocumentedOnesAndOutOfRangeTestsAreFalse) {
  EXPECT_EQ(Opts({ioAuto}).Bits(), 0x01);
  EXPECT_EQ(Opts({ioPortable}).Bits(), 0x02);
  EXPECT_EQ(Opts({ioUpdate}).Bits(), 0x04);
  EXPECT_EQ(Opts({ioSilent}).Bits(), 0x08);
  EXPECT_EQ(Opts({ioRun}).Bits(), 0x10);
  EXPECT_EQ(Opts({ioNoBackup}).Bits(), 0x20);
  const auto all = TInstallerOptions::FromBits(0xFF);
  EXPECT_TRUE(all.Contains(7));
  EXPECT_FALSE(all.Contains(8));
  EXPECT_FALSE(all.Contains(200));
  EXPECT_FALSE(all.Contains(-1));
  EXPECT_EQ(Opts({ioAuto, ioRun}).Without(ioAuto), Opts({ioRun}));
}

TEST_F(OptionsTest, NoSwitchesInstallIntoTheDefaultFolderWithUpdateOnlyWhenACopyIsFound) {
  {
    auto installer = Create(u"");
    EXPECT_EQ(installer->Mode(), imInstall);
    EXPECT_EQ(installer->Options(), Opts({}));
    EXPECT_EQ(installer->DestPath(), DefaultDest(*installer));
    EXPECT_EQ(Installer, installer.get());
  }
  Product().canUpdate = true;
  Product().portable = true;
  auto installer = Create(u"");
  // The copy is portable, but a destination under Program Files never is.
  EXPECT_EQ(installer->Options(), Opts({ioUpdate}));
  EXPECT_TRUE(installer->IsDestUnderProgramFiles());
}

TEST_F(OptionsTest, AutoTakesTheFolderFromItsValueOrTheDefault) {
  {
    auto installer = Create(u"/AUTO");
    EXPECT_EQ(installer->Options(), Opts({ioAuto}));
    EXPECT_EQ(installer->DestPath(), DefaultDest(*installer));
  }
  {
    auto installer = Create(u"/auto=\"D:\\Apps\\ZUVA\"");
    EXPECT_EQ(installer->Options(), Opts({ioAuto}));
    EXPECT_EQ(installer->DestPath(), u"D:\\Apps\\ZUVA\\");
  }
  {
    // An unquoted value ends at the blank.
    auto installer = Create(u"/AUTO=D:\\My Apps");
    EXPECT_EQ(installer->DestPath(), u"D:\\My\\");
  }
  {
    auto installer = Create(u"/AUTO=D:\\Apps /NOBACKUP /RUN /PORTABLE /SILENT");
    EXPECT_EQ(installer->Options(), Opts({ioAuto, ioNoBackup, ioRun, ioPortable, ioSilent}));
  }
}

TEST_F(OptionsTest, SwitchesWithoutAutoHaveNoEffect) {
  auto installer = Create(u"/SILENT /PORTABLE /NOBACKUP /RUN /UPDATE");
  EXPECT_EQ(installer->Mode(), imInstall);
  EXPECT_EQ(installer->Options(), Opts({}));
}

TEST_F(OptionsTest, UpdateDemandsAnUpdatableCopyAndThenIgnoresSilentAndPortable) {
  Product().canUpdate = true;
  auto installer = Create(u"/AUTO=D:\\Apps /UPDATE /SILENT /PORTABLE");
  // Runs with the wizard: SILENT is not read together with UPDATE.
  EXPECT_EQ(installer->Options(), Opts({ioAuto, ioUpdate}));
}

TEST_F(OptionsTest, UpdateWithoutAnUpdatableCopyFailsWithTheInstalledVersion) {
  try {
    Create(u"/AUTO /UPDATE");
    FAIL() << "no exception";
  } catch (const EInstallerUpdateError& e) {
    EXPECT_EQ(e.Message(), u"Cannot install update on v0.00");
  }
  EXPECT_EQ(Installer, nullptr) << "a failed construction leaves no dangling global";

  Product().installedVersion = 4511;
  try {
    Create(u"/AUTO /UPDATE");
    FAIL() << "no exception";
  } catch (const EInstallerInstallError& e) {  // the update error is an install error
    EXPECT_EQ(e.Message(), u"Cannot install update on v4.51");
  }
}

TEST_F(OptionsTest, PortableUnderProgramFilesIsDroppedWhenTheRunStarts) {
  auto installer = Create(u"/AUTO /PORTABLE");
  EXPECT_TRUE(installer->HasOption(ioPortable)) << "set after the destination was validated";
  installer->Start(true);
  EXPECT_FALSE(installer->HasOption(ioPortable));
  EXPECT_EQ(installer->State(), isFinished);
}

TEST_F(OptionsTest, ProgramFilesIsRecognizedIgnoringCaseAndWithoutX86) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  auto& resources = installer->Resources();
  EXPECT_FALSE(installer->IsDestUnderProgramFiles());
  String upper = resources.ProgramFilesPath();
  for (auto& c : upper) c = dlx::AsciiUpper(c);
  installer->SetDestPath(upper + u"Other");
  EXPECT_TRUE(installer->IsDestUnderProgramFiles());
  installer->SetDestPath(resources.ProgramFilesAltPath() + u"X");
  EXPECT_TRUE(installer->IsDestUnderProgramFiles());
  EXPECT_EQ(resources.ProgramFilesAltPath().find(u" (x86)"), String::npos);
  // A folder that merely begins like Program Files is not under it.
  String sibling = resources.ProgramFilesPath();
  sibling.pop_back();
  installer->SetDestPath(sibling + u"X\\ZUVA");
  EXPECT_FALSE(installer->IsDestUnderProgramFiles());
}

TEST_F(OptionsTest, UninstallerModeComesFromTheLogInTheProductPackage) {
  const std::vector<Entry> log = {{u"Uninstall.ini", "[Uninstall]\r\nCount=0\r\n"}};
  {
    auto installer = Create(u"/SILENT", {}, log);
    EXPECT_EQ(installer->Mode(), imUninstall);
    EXPECT_EQ(installer->Options(), Opts({})) << "SILENT needs AUTO";
    EXPECT_EQ(installer->DestPath(), u"");
    EXPECT_THROW(installer->Start(false), EInstallerInstallError);
    try {
      installer->Start(false);
    } catch (const EInstallerInstallError& e) {
      EXPECT_EQ(e.Message(), u"DestPath is empty");
    }
    EXPECT_EQ(installer->State(), isIdle);
  }
  auto installer = Create(u"/auto /silent /NOBACKUP", {}, log);
  EXPECT_EQ(installer->Mode(), imUninstall);
  EXPECT_EQ(installer->Options(), Opts({ioAuto, ioSilent}));
}

TEST_F(OptionsTest, AutoAndSilentCannotChangeAfterStartUp) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  try {
    installer->SetOption(ioSilent, true);
    FAIL() << "no exception";
  } catch (const EInstallerMysteryError& e) {
    EXPECT_EQ(e.Message(), u"Invalid Arguments");
  }
  EXPECT_THROW(installer->SetOption(ioAuto, false), EInstallerMysteryError);
  EXPECT_THROW(installer->SetOptions(Opts({ioNoBackup})), EInstallerMysteryError);
  installer->SetOption(ioNoBackup, true);
  EXPECT_EQ(installer->Options(), Opts({ioAuto, ioNoBackup}));
  installer->SetOption(ioAuto, true);  // unchanged set: nothing to refuse
  // ioUpdate cannot be switched on without an updatable copy.
  installer->SetOption(ioUpdate, true);
  EXPECT_FALSE(installer->HasOption(ioUpdate));
}

TEST_F(OptionsTest, SetDestPathNormalizesAndRereadsOnlyOnChange) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  const int calls = Product().loadCalls;
  installer->SetDestPath(u"D:\\Apps\\");
  EXPECT_EQ(Product().loadCalls, calls) << "the same text twice reads nothing again";
  installer->SetDestPath(u"D:\\Apps");
  EXPECT_EQ(Product().loadCalls, calls + 1) << "the text differs, so it is read again";
  EXPECT_EQ(installer->DestPath(), u"D:\\Apps\\");
  installer->SetDestPath(u"D:\\Apps\\.\\Sub\\..\\ZUVA");
  EXPECT_EQ(installer->DestPath(), u"D:\\Apps\\ZUVA\\");
  installer->SetDestPath(u"");
  EXPECT_EQ(installer->DestPath(), u"");

  Product().canUpdate = true;
  Product().portable = true;
  installer->SetDestPath(u"D:\\Portable");
  EXPECT_EQ(installer->Options(), Opts({ioAuto, ioUpdate, ioPortable}));
  // Leaving an updatable copy drops the update but keeps portable.
  Product().canUpdate = false;
  installer->SetDestPath(u"D:\\Elsewhere");
  EXPECT_EQ(installer->Options(), Opts({ioAuto, ioPortable}));
}

TEST_F(OptionsTest, PostInstallProgramsDefaultToOnOnlyForAnUnattendedUpdateWithRun) {
  {
    // A fresh silent installation with /RUN starts nothing.
    auto installer = Create(u"/AUTO=D:\\Apps /SILENT /RUN");
    EXPECT_TRUE(installer->PostInstallCommands().empty());
    installer->Settings().WriteString(u"Actions", u"$DEST\\ReadMe.txt", u"1");
    EXPECT_EQ(installer->PostInstallCommands(), std::vector<String>{u"D:\\Apps\\ReadMe.txt"});
  }
  Product().canUpdate = true;
  {
    auto installer = Create(u"/AUTO=D:\\Apps /UPDATE /RUN");
    EXPECT_EQ(installer->PostInstallCommands(),
              (std::vector<String>{u"D:\\Apps\\ZUVA.exe", u"D:\\Apps\\ReadMe.txt"}));
    installer->Settings().WriteString(u"Actions", u"$DEST\\ZUVA.exe", u"0");
    EXPECT_EQ(installer->PostInstallCommands(), std::vector<String>{u"D:\\Apps\\ReadMe.txt"});
    installer->AddError(u"failed");
    EXPECT_TRUE(installer->PostInstallCommands().empty()) << "nothing after errors";
  }
}

TEST_F(EngineTest, WindowIsMessageOnlyAndCannotBeCreatedOffTheMainThread) {
  {
    auto installer = Create(u"/AUTO=D:\\Apps");
    HWND window = installer->Window();
    ASSERT_NE(window, nullptr);
    wchar_t name[32] = {};
    GetClassNameW(window, name, 32);
    EXPECT_STREQ(name, L"TInstaller");
    EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, L"TInstaller", nullptr), window) << "message-only";
    EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  }
  String message;
  std::thread worker([&] {
    try {
      Create(u"/AUTO=D:\\Apps");
    } catch (const dlx::EDLXInvalidOperation& e) {
      message = e.Message();
    }
  });
  worker.join();
  EXPECT_EQ(message, u"Cannot create window in non-main thread");
  EXPECT_EQ(Installer, nullptr);
}

TEST_F(EngineTest, ConstructionWithoutAProductInformationClassFails) {
  ProductInfoClass = nullptr;
  try {
    Create(u"");
    FAIL() << "no exception";
  } catch (const EInstallerGeneralError& e) {
    EXPECT_EQ(e.Message(), u"ProductInfoClass is nil");
  }
}

TEST_F(OptionsTest, EveryDestinationBecomesOneCanonicalFolder) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  const String current = CanonicalPath(dlx::GetCurrentDir());
  const struct {
    String given;
    String dest;
  } cases[] = {
      {u"D:/Slash/Demo", u"D:\\Slash\\Demo\\"},
      {u"D:\\Apps\\.\\Sub\\..\\ZUVA\\\\", u"D:\\Apps\\ZUVA\\"},
      {u"\\\\?\\D:\\Long\\Form", u"D:\\Long\\Form\\"},
      {u"D:\\a<b>|c\\d", u"D:\\abc\\d\\"},
      {u"D:\\new\r\ndemo", u"D:\\newdemo\\"},
      {u"RelDemo", current + u"\\RelDemo\\"},
      {u"\\\\server\\share\\ZUVA", u"\\\\server\\share\\ZUVA\\"},
  };
  for (const auto& c : cases) {
    installer->SetDestPath(c.given);
    EXPECT_EQ(installer->DestPath(), c.dest) << dlx::ToUtf8(c.given);
    // A script path below $DEST expands into exactly that folder.
    EXPECT_EQ(installer->Resources().ExpandPath(u"$DEST\\a.txt"), c.dest + u"a.txt") << dlx::ToUtf8(c.given);
  }
}

TEST_F(OptionsTest, DriveRootsAndFoldersOfTheSystemOrOfUsersAreRefused) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  const String refused[] = {
      u"C:\\",
      u"C:/",
      u"d:",
      u"\\\\server\\share",
      dlx::FromW(windows),
      installer->Resources().ProgramFilesPath(),
      installer->Resources().ProgramFilesAltPath(),
      GetSpecialFolder(CSIDL_PROFILE),
      GetSpecialFolder(CSIDL_DESKTOPDIRECTORY),
      GetSpecialFolder(CSIDL_PERSONAL) + u".",
      installer->Resources().ProgramFilesPath() + u"ZUVA\\..",
  };
  for (const String& folder : refused) {
    try {
      installer->SetDestPath(folder);
      ADD_FAILURE() << "accepted " << dlx::ToUtf8(folder);
    } catch (const EInstallerInstallError& e) {
      // The refusal's text (the fixture's language material has none: its key and the folder).
      EXPECT_EQ(e.Message().rfind(u"E5 \"", 0), 0u) << dlx::ToUtf8(e.Message());
    }
    EXPECT_EQ(installer->DestPath(), u"D:\\Apps\\") << "unchanged after " << dlx::ToUtf8(folder);
  }
  installer->SetDestPath(GetSpecialFolder(CSIDL_PERSONAL) + u"ZUVA");
  EXPECT_EQ(installer->DestPath(), GetSpecialFolder(CSIDL_PERSONAL) + u"ZUVA\\")
      << "a folder inside one is fine";
}
