#include "core/uninstall_info.h"

#include "core/app_repository.h"
#include "core/errors.h"
#include "core/extract_action.h"
#include "core/package/package.h"
#include "lib/win/handles.h"
#include "tests/core/extract_test_env.h"
#include "tests/core/resource_carrier.h"

using namespace extractenv;

namespace {

// A product name no other test or run uses; its registration is removed afterwards.
String UniqueProductName() {
  return u"ZUVA Log Test " + dlx::IntToStr(GetCurrentProcessId()) + u"-" + dlx::IntToStr(GetTickCount());
}

class UninstallInfoTest : public ExtractTest {
 protected:
  void TearDown() override {
    if (!product_.empty())
      dlx::TRegistryKey::DeleteTree(HKEY_LOCAL_MACHINE, TInstallerApplicationRepository::KeyPath(product_));
    ExtractTest::TearDown();
  }
  // The components of the log tests: one in a subfolder, one outside the destination, one for
  // another language family.
  void MakeLogged(const String& extraArgs) {
    product_ = UniqueProductName();
    Make({{u"$DEST\\Plugins\\a.dll"}, {u"$TEMP\\zuva-g-outside.txt"}, {u"$DEST\\Lang\\de.txt", u"", u"DE"}},
         {}, 1033, extraArgs, product_);
  }
  void Write(const String& folder) {
    TInstallerActionExtract action;
    action.WriteUninstallInfo(folder, installer_->Resources().GetComponentFiles());
  }
  static std::unique_ptr<dlx::TDLXIniFile> ReadLog(const String& folder) {
    dlx::TSetupPackageReader package(folder + kUninstallDataName);
    EXPECT_EQ(package.FileTable().Count(), 1);
    std::unique_ptr<dlx::TDLXMemoryStream> stream;
    auto log = std::make_unique<dlx::TDLXIniFile>();
    if (package.Extract(kUninstallLogName, stream)) log->LoadFromStream(*stream);
    return log;
  }
  bool Registered() {
    return dlx::TRegistryKey::KeyExists(HKEY_LOCAL_MACHINE,
                                        TInstallerApplicationRepository::KeyPath(product_));
  }

  String product_;
};

TEST_F(UninstallInfoTest, TheLogHoldsTheChoicesThenTheEntriesThenDataAndUninstaller) {
  MakeLogged(u" /PORTABLE");
  dlx::TDLXIniFile& settings = installer_->Settings();
  settings.WriteBool(u"Integration", u"ShortcutDesktop", true);
  settings.WriteBool(u"Common", u"AddonsViewer", false);
  // Whatever an "Uninstall" section held before is not carried over.
  settings.WriteString(u"Uninstall", u"Count", u"7");
  settings.WriteString(u"Uninstall", u"6", u"stale.txt");
  const String dest = installer_->DestPath();
  Write(dest);

  auto log = ReadLog(dest);
  EXPECT_TRUE(log->ReadBool(u"Integration", u"ShortcutDesktop", false));
  EXPECT_FALSE(log->ReadBool(u"Common", u"AddonsViewer", true));
  EXPECT_EQ(log->ReadInteger(kUninstallSection, u"Count", -1), 4);
  EXPECT_EQ(log->ReadString(kUninstallSection, u"0", u""), u"Plugins\\a.dll");
  EXPECT_EQ(log->ReadString(kUninstallSection, u"1", u""), dlx::GetTempPath() + u"zuva-g-outside.txt");
  EXPECT_EQ(log->ReadString(kUninstallSection, u"2", u""), u"Uninstall.dat");
  EXPECT_EQ(log->ReadString(kUninstallSection, u"3", u""), u"Uninstall.exe");
  EXPECT_FALSE(log->ValueExists(kUninstallSection, u"6"));
  EXPECT_EQ(settings.ReadString(u"Uninstall", u"6", u""), u"stale.txt")
      << "Settings themselves stay as they are";

  EXPECT_TRUE(ReadAll(dest + kUninstallExeName) == ReadAll(dlx::GetExeName()))
      << "a byte copy of the program";
  EXPECT_FALSE(Registered()) << "a portable installation is not registered";
}

TEST_F(UninstallInfoTest, ExistingFilesAreReplaced) {
  MakeLogged(u" /PORTABLE");
  const String dest = installer_->DestPath();
  ASSERT_TRUE(WriteAll(dest + kUninstallExeName, "old uninstaller"));
  ASSERT_TRUE(WriteAll(dest + kUninstallDataName, "old data"));
  Write(dest);
  EXPECT_EQ(ReadLog(dest)->ReadInteger(kUninstallSection, u"Count", -1), 4);
  EXPECT_EQ(dlx::FileSize(dest + kUninstallExeName), dlx::FileSize(dlx::GetExeName()));
}

TEST_F(UninstallInfoTest, ANormalInstallationIsRegisteredWithTheProductsValues) {
  MakeLogged(u"");
  ASSERT_FALSE(installer_->HasOption(ioPortable));
  const String dest = installer_->DestPath();
  Write(dest);
  dlx::TRegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, TInstallerApplicationRepository::KeyPath(product_)));
  String value;
  EXPECT_TRUE(key.ReadString(u"DisplayName", value));
  EXPECT_EQ(value, product_);
  key.ReadString(u"UninstallString", value);
  EXPECT_EQ(value, u"\"" + dest + u"Uninstall.exe\"");
  key.ReadString(u"QuietUninstallString", value);
  EXPECT_EQ(value, u"\"" + dest + u"Uninstall.exe\" /AUTO /SILENT /SUPPRESSMSGBOXES");
  key.ReadString(u"InstallPath", value);
  EXPECT_EQ(value, dest);
  key.ReadString(u"InstallLocation", value);
  EXPECT_EQ(value, dest);
  key.ReadString(u"DisplayVersion", value);
  EXPECT_EQ(value, u"5.0.3");
  key.ReadString(u"Publisher", value);
  EXPECT_EQ(value, u"ZUVA Team");
  key.ReadString(u"URLInfoAbout", value);
  EXPECT_EQ(value, u"https://zuva.example/");
}

TEST_F(UninstallInfoTest, AFailedCopyOfTheUninstallerEndsWithTheSystemErrorAndRegistersNothing) {
  MakeLogged(u"");
  const String missing = installer_->DestPath() + u"missing\\";
  try {
    Write(missing);
    ADD_FAILURE() << "copying into a missing folder must fail";
  } catch (const dlx::EDLXOSError& e) {
    EXPECT_NE(e.Code(), 0u);
    const String message = e.Message();
    EXPECT_EQ(message.rfind(u"System Error.  Code: " + dlx::IntToStr(e.Code()) + u".\r\n", 0), 0u)
        << e.what();
    // The paths on a line of their own, not glued to the system's text.
    const String paths = u"\r\n" + dlx::GetExeName() + u" -> " + missing + u"Uninstall.exe";
    EXPECT_TRUE(message.size() > paths.size() &&
                message.compare(message.size() - paths.size(), paths.size(), paths) == 0)
        << e.what();
  }
  EXPECT_FALSE(Exists(missing + kUninstallDataName));
  EXPECT_FALSE(Registered());
}

TEST_F(UninstallInfoTest, TheCarriedUninstallerIsWrittenByteForByteAndADamagedOneNamesTheFile) {
  TScratchFolder scratch;
  const String& folder = scratch.Path();
  // Bytes that do not compress, longer than one write, so every byte and the length count.
  std::string program(1536 * 1024 + 77, '\0');
  uint32_t seed = 12345;
  for (char& byte : program) {
    seed = seed * 1103515245u + 12345u;
    byte = static_cast<char>(seed >> 24);
  }
  program[0] = 'M';
  program[1] = 'Z';
  const std::string package = PackageBytes({{kUninstallExeName, program}});

  const String target = folder + kUninstallExeName;
  // A longer file of the name before: it is replaced, not overwritten in part.
  ASSERT_TRUE(WriteAll(target, std::string(program.size() + 4096, 'x')));
  {
    TCarrier carrier(folder + u"carrier.exe", {{kUninstallerResourceName, package}});
    ASSERT_NE(carrier.Module(), nullptr);
    const String source = WriteUninstallerProgram(carrier.Module(), target);
    EXPECT_TRUE(ReadAll(target) == program) << "the image's bytes, exactly";
    EXPECT_NE(source.find(u"uninstaller"), String::npos) << dlx::ToUtf8(source);
    EXPECT_EQ(source.find(u"copy of"), String::npos) << dlx::ToUtf8(source);

    // A folder that does not exist: the system's reason and the file.
    const String missing = folder + u"missing\\" + kUninstallExeName;
    try {
      WriteUninstallerProgram(carrier.Module(), missing);
      ADD_FAILURE() << "writing into a missing folder must fail";
    } catch (const dlx::EDLXOSError& e) {
      EXPECT_NE(e.Code(), 0u);
      EXPECT_NE(e.Message().find(missing), String::npos) << e.what();
    }
  }

  // One byte of the compressed body changed, or a package without the program: the install stops
  // with the file it could not write, and writes nothing.
  std::string damaged = package;
  damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x5A);
  const std::string empty = PackageBytes({{u"Readme.txt", "no program here"}});
  int index = 0;
  for (const std::string* bytes : {static_cast<const std::string*>(&damaged), &empty}) {
    const String name = u"broken" + dlx::IntToStr(++index) + u".exe";
    TCarrier carrier(folder + name + u".carrier.exe", {{kUninstallerResourceName, *bytes}});
    ASSERT_NE(carrier.Module(), nullptr);
    const String broken = folder + name;
    try {
      WriteUninstallerProgram(carrier.Module(), broken);
      ADD_FAILURE() << "a damaged uninstaller must not be written (" << dlx::ToUtf8(name) << ")";
    } catch (const EInstallerInstallError& e) {
      EXPECT_NE(e.Message().find(u"\"" + broken + u"\""), String::npos) << e.what();
      EXPECT_NE(e.Message().find(u"Package was corrupted"), String::npos) << e.what();
    }
    EXPECT_FALSE(Exists(broken)) << dlx::ToUtf8(name);
  }

  // This program carries none: the copy of the running program, as before.
  const String copied = folder + u"copied.exe";
  const String source = WriteUninstallerProgram(GetModuleHandleW(nullptr), copied);
  EXPECT_EQ(source, u"copy of \"" + dlx::GetExeName() + u"\"");
  EXPECT_TRUE(ReadAll(copied) == ReadAll(dlx::GetExeName()));
}

TEST_F(UninstallInfoTest, EntriesInsideTheDestinationAreStoredRelativeIgnoringCase) {
  Make({}, {}, 1033, u"");
  installer_->SetDestPath(u"D:\\Apps\\ZUVA");
  dlx::TDLXIniFile log;
  AddUninstallLogEntry(log, u"d:\\apps\\zuva\\Plugins\\a.dll");
  AddUninstallLogEntry(log, u"D:\\Apps\\ZUVA2\\b.dll");          // a sibling sharing the prefix's letters
  AddUninstallLogEntry(log, u"D:\\Apps\\ZUVA\\$TEMP\\new.txt");  // a full path is never expanded again
  EXPECT_EQ(log.ReadInteger(kUninstallSection, u"Count", -1), 3);
  EXPECT_EQ(log.ReadString(kUninstallSection, u"0", u""), u"Plugins\\a.dll");
  EXPECT_EQ(log.ReadString(kUninstallSection, u"1", u""), u"D:\\Apps\\ZUVA2\\b.dll");
  EXPECT_EQ(log.ReadString(kUninstallSection, u"2", u""), u"$TEMP\\new.txt");
}

}  // namespace
