#include "core/app_repository.h"

#include <windows.h>

#include <vector>

#include "lib/file_system.h"
#include "lib/win/handles.h"
#include "tests/core/extract_test_env.h"

using dlx::String;
using Repository = TInstallerApplicationRepository;

namespace {

struct ValueInfo {
  String name;
  DWORD type;
  DWORD size;
};

// The key's values (the registry may list them in any order, Wine's sorts them by name).
std::vector<ValueInfo> Values(const String& path) {
  std::vector<ValueInfo> values;
  dlx::TRegistryKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, path)) return values;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD length = 256, type = 0, size = 0;
    if (RegEnumValueW(key.Get(), i, name, &length, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    values.push_back({dlx::FromW(name, length), type, size});
  }
  return values;
}

const ValueInfo* FindValue(const std::vector<ValueInfo>& values, const String& name) {
  for (const auto& value : values)
    if (value.name == name) return &value;
  return nullptr;
}

String ReadText(const String& path, const String& name) {
  dlx::TRegistryKey key;
  String value;
  if (key.Open(HKEY_LOCAL_MACHINE, path)) key.ReadString(name, value);
  return value;
}

class AppRepositoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = u"ZUVA Repo Test " + dlx::IntToStr(GetCurrentProcessId()) + u" " + dlx::IntToStr(GetTickCount());
  }
  void TearDown() override {
    for (const String& name : {name_, Compact()})
      dlx::TRegistryKey::DeleteTree(HKEY_LOCAL_MACHINE, Repository::KeyPath(name));
  }
  String Compact() const {
    String compact;
    for (char16_t c : name_)
      if (c != u' ') compact += c;
    return compact;
  }
  bool KeyExists(const String& name) const {
    return dlx::TRegistryKey::KeyExists(HKEY_LOCAL_MACHINE, Repository::KeyPath(name));
  }
  String name_;
};

TEST_F(AppRepositoryTest, RegisterWritesEveryValueWithItsType) {
  ASSERT_TRUE(Repository::Register(name_, u"C:\\Apps\\ZUVA\\Uninstall.exe", u"https://zuva.example/",
                                   u"ZUVA Team", u"5.0.3", 2049));
  const String path = Repository::KeyPath(name_);
  EXPECT_EQ(path, u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + name_) << "blanks are kept";
  const std::vector<ValueInfo> values = Values(path);
  struct Expected {
    const char16_t* name;
    DWORD type;
  } const expected[] = {
      {u"NoModify", REG_DWORD},      {u"NoRepair", REG_DWORD},          {u"DisplayIcon", REG_SZ},
      {u"DisplayName", REG_SZ},      {u"DisplayVersion", REG_SZ},       {u"InstallDate", REG_SZ},
      {u"InstallPath", REG_SZ},      {u"InstallLocation", REG_SZ},      {u"Publisher", REG_SZ},
      {u"UninstallString", REG_SZ},  {u"QuietUninstallString", REG_SZ}, {u"URLInfoAbout", REG_SZ},
      {u"EstimatedSize", REG_DWORD}, {u"VersionMajor", REG_DWORD},      {u"VersionMinor", REG_DWORD},
  };
  ASSERT_EQ(values.size(), std::size(expected));
  for (const Expected& e : expected) {
    const ValueInfo* value = FindValue(values, e.name);
    ASSERT_NE(value, nullptr) << dlx::ToUtf8(e.name);
    EXPECT_EQ(value->type, e.type) << dlx::ToUtf8(e.name);
    // Strings are stored with their terminating NUL counted in the size.
    const size_t size =
        e.type == REG_DWORD ? sizeof(DWORD) : (ReadText(path, e.name).size() + 1) * sizeof(wchar_t);
    EXPECT_EQ(value->size, size) << dlx::ToUtf8(e.name);
  }
  dlx::TRegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, path));
  const std::pair<const char16_t*, uint32_t> numbers[] = {{u"NoModify", 1},
                                                          {u"NoRepair", 1},
                                                          {u"EstimatedSize", 2049},
                                                          {u"VersionMajor", 5},
                                                          {u"VersionMinor", 0}};
  for (const auto& [name, number] : numbers) {
    uint32_t read = 12345;
    EXPECT_TRUE(key.ReadDword(name, read));
    EXPECT_EQ(read, number) << dlx::ToUtf8(name);
  }
  EXPECT_EQ(ReadText(path, u"DisplayIcon"), u"C:\\Apps\\ZUVA\\Uninstall.exe");
  EXPECT_EQ(ReadText(path, u"UninstallString"), u"\"C:\\Apps\\ZUVA\\Uninstall.exe\"");
  EXPECT_EQ(ReadText(path, u"QuietUninstallString"),
            u"\"C:\\Apps\\ZUVA\\Uninstall.exe\" /AUTO /SILENT /SUPPRESSMSGBOXES");
  EXPECT_EQ(ReadText(path, u"InstallPath"), u"C:\\Apps\\ZUVA\\");
  EXPECT_EQ(ReadText(path, u"InstallLocation"), u"C:\\Apps\\ZUVA\\");
  EXPECT_EQ(ReadText(path, u"DisplayName"), name_);
  EXPECT_EQ(ReadText(path, u"DisplayVersion"), u"5.0.3");
  EXPECT_EQ(ReadText(path, u"Publisher"), u"ZUVA Team");
  EXPECT_EQ(ReadText(path, u"URLInfoAbout"), u"https://zuva.example/");
  SYSTEMTIME now{};
  GetLocalTime(&now);
  const String date = ReadText(path, u"InstallDate");
  ASSERT_EQ(date.size(), 8u);
  EXPECT_EQ(date.substr(0, 4), dlx::IntToStr(now.wYear));
  EXPECT_EQ(std::stoi(dlx::ToUtf8(date.substr(4, 2))), now.wMonth);

  // A second registration replaces the values of the first.
  ASSERT_TRUE(Repository::Register(name_, u"D:\\Other\\Uninstall.exe", u"", u"", u"6.0"));
  EXPECT_EQ(ReadText(path, u"InstallPath"), u"D:\\Other\\");
  EXPECT_EQ(ReadText(path, u"DisplayVersion"), u"6.0");
  EXPECT_EQ(Values(path).size(), std::size(expected));
}

TEST(AppRepository, VersionNumbersAndTheProgramOfACommand) {
  struct {
    const char16_t* version;
    uint32_t major, minor;
  } const versions[] = {
      {u"5.05.0.1207", 5, 5}, {u"5.05", 5, 5}, {u"12", 12, 0},           {u"", 0, 0},
      {u"v5.1", 0, 0},        {u"5.x", 5, 0},  {u"99999999999.3", 0, 3}, {u"4294967295.1", 4294967295u, 1},
  };
  for (const auto& v : versions) {
    uint32_t major = 7, minor = 7;
    Repository::SplitVersion(v.version, major, minor);
    EXPECT_EQ(major, v.major) << dlx::ToUtf8(v.version);
    EXPECT_EQ(minor, v.minor) << dlx::ToUtf8(v.version);
  }
  const std::pair<const char16_t*, const char16_t*> commands[] = {
      {u"\"C:\\Media Players\\ZUVA\\Uninstall.exe\" /AUTO", u"C:\\Media Players\\ZUVA\\Uninstall.exe"},
      {u"\"C:\\ZUVA\\Uninstall.exe\"", u"C:\\ZUVA\\Uninstall.exe"},
      // What older installers wrote: the path alone, unquoted, blanks and all.
      {u"C:\\Media Players\\ZUVA\\Uninstall.exe", u"C:\\Media Players\\ZUVA\\Uninstall.exe"},
      {u"\"C:\\unclosed\\Uninstall.exe", u"C:\\unclosed\\Uninstall.exe"},
  };
  for (const auto& [command, program] : commands)
    EXPECT_EQ(Repository::ProgramOfCommand(command), program) << dlx::ToUtf8(command);
}

TEST_F(AppRepositoryTest, UnusableNamesAreRefusedAndReachNoOtherKey) {
  EXPECT_FALSE(Repository::Register(u"   ", u"C:\\x\\Uninstall.exe", u"", u"", u""));
  EXPECT_FALSE(Repository::Register(u"", u"C:\\x\\Uninstall.exe", u"", u"", u""));
  EXPECT_FALSE(Repository::Unregister(u"  "));
  // A backslash would name the uninstall list itself or another product's key.
  const String list = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  ASSERT_TRUE(Repository::Register(name_, u"C:\\x\\Uninstall.exe", u"", u"", u""));
  EXPECT_FALSE(Repository::Register(name_ + u"\\Sub", u"C:\\x\\Uninstall.exe", u"", u"", u""));
  EXPECT_FALSE(dlx::TRegistryKey::KeyExists(HKEY_LOCAL_MACHINE, Repository::KeyPath(name_) + u"\\Sub"));
  EXPECT_FALSE(Repository::Unregister(u"\\"));
  EXPECT_FALSE(Repository::Unregister(u" \\ "));
  String folder = u"untouched";
  EXPECT_FALSE(Repository::GetInstallPath(u"\\", folder));
  EXPECT_TRUE(dlx::TRegistryKey::KeyExists(HKEY_LOCAL_MACHINE, list));
  EXPECT_TRUE(KeyExists(name_));
}

TEST_F(AppRepositoryTest, UnregisterRemovesTheKeyRegisterWroteAndTheOldBlankFreeOne) {
  ASSERT_NE(name_, Compact());
  ASSERT_TRUE(Repository::Register(name_, u"C:\\x\\Uninstall.exe", u"", u"", u""));
  ASSERT_TRUE(KeyExists(name_));
  EXPECT_TRUE(Repository::Unregister(name_));
  EXPECT_FALSE(KeyExists(name_)) << "a name with blanks must not stay in the list after removal";
  EXPECT_FALSE(Repository::Unregister(name_)) << "nothing left to remove";

  // The key an older installer left, without blanks and with subkeys, long names included.
  const String legacy = Repository::KeyPath(Compact());
  dlx::TRegistryKey key;
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, legacy + u"\\Short\\Deeper"));
  ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, legacy + u"\\" + String(100, u'L')));
  key.Close();
  EXPECT_TRUE(Repository::Unregister(name_));
  EXPECT_FALSE(KeyExists(Compact()));
}

TEST_F(AppRepositoryTest, GetInstallPathFallsBackToTheUninstallerAndTheIcon) {
  extractenv::TScratchFolder first, second;
  const String path = Repository::KeyPath(name_);
  String folder = u"stale";
  EXPECT_FALSE(Repository::GetInstallPath(name_, folder)) << "no key";

  ASSERT_TRUE(Repository::Register(name_, first.Path() + u"Uninstall.exe", u"", u"", u""));
  EXPECT_TRUE(Repository::GetInstallPath(name_, folder));
  EXPECT_EQ(folder, first.Path());

  dlx::TRegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WRITE));
  // Without its trailing backslash the value still names the folder.
  key.WriteString(u"InstallPath", dlx::ExcludeTrailingPathDelimiter(second.Path()));
  EXPECT_TRUE(Repository::GetInstallPath(name_, folder));
  EXPECT_EQ(folder, second.Path());

  key.DeleteValue(u"InstallPath");
  // As this installer writes it: quoted, here with switches after it.
  key.WriteString(u"UninstallString", u"\"" + first.Path() + u"Uninstall.exe\" /AUTO");
  EXPECT_TRUE(Repository::GetInstallPath(name_, folder));
  EXPECT_EQ(folder, first.Path());
  // As older installers wrote it: unquoted.
  key.WriteString(u"UninstallString", second.Path() + u"Uninstall.exe");
  EXPECT_TRUE(Repository::GetInstallPath(name_, folder));
  EXPECT_EQ(folder, second.Path());

  key.WriteString(u"UninstallString", u"C:\\no\\such\\folder\\Uninstall.exe");
  key.WriteString(u"DisplayIcon", first.Path() + u"Uninstall.exe");
  EXPECT_TRUE(Repository::GetInstallPath(name_, folder));
  EXPECT_EQ(folder, first.Path());

  key.WriteString(u"DisplayIcon", u"C:\\no\\such\\folder\\Uninstall.exe");
  EXPECT_FALSE(Repository::GetInstallPath(name_, folder));

  // Only text values count.
  key.WriteDword(u"InstallPath", 1);
  key.DeleteValue(u"UninstallString");
  key.DeleteValue(u"DisplayIcon");
  EXPECT_FALSE(Repository::GetInstallPath(name_, folder));
}

}  // namespace
