// The rollback's copy of the uninstall key holds every value the registration writes, the ones
// deployment tools read included, and puts them back exactly, also from the journal on disk; the
// removal takes them all.
#include "product/registry_snapshot.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <utility>
#include <vector>

#include "core/app_repository.h"
#include "lib/win/handles.h"

namespace {

using dlx::String;
using Repository = TInstallerApplicationRepository;
using TValues = std::map<String, std::pair<DWORD, std::vector<BYTE>>>;

TValues ReadValues(const String& path) {
  TValues values;
  dlx::TRegistryKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, path)) return values;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    BYTE data[2048];
    DWORD length = 256, type = 0, size = sizeof data;
    if (RegEnumValueW(key.Get(), i, name, &length, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    values[dlx::FromW(name, length)] = {type, std::vector<BYTE>(data, data + size)};
  }
  return values;
}

// Through the journal's records as a killed run's successor reads them: tabs, line breaks,
// zero bytes and non-ASCII names, subkeys below subkeys.
TEST(RegistrySnapshot, TheUninstallKeyComesBackFromTheJournalWithEveryValueAndGoesWithThemAll) {
  const String name = u"ZUVA Snapshot Test " + dlx::IntToStr(GetCurrentProcessId());
  const String path = Repository::KeyPath(name);
  dlx::TRegistryKey::DeleteTree(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(Repository::Register(name, u"C:\\Tools\\Media Players\\ZUVA\\Uninstall.exe",
                                   u"https://zuva.example/", u"ZUVA Software", u"5.05.0.1207", 6830));
  ASSERT_EQ(ReadValues(path).size(), 15u);
  for (const char16_t* value :
       {u"InstallLocation", u"QuietUninstallString", u"EstimatedSize", u"VersionMajor", u"VersionMinor"})
    EXPECT_EQ(ReadValues(path).count(value), 1u) << dlx::ToUtf8(value);
  {
    dlx::TRegistryKey key, sub, deeper;
    ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WRITE));
    ASSERT_TRUE(key.WriteString(u"Tab\tName", u"line\r\nbreak"));
    const uint8_t binary[] = {0, 1, 0xFF, 0};
    ASSERT_EQ(RegSetValueExW(key.Get(), L"Binary", 0, REG_BINARY, binary, sizeof binary), ERROR_SUCCESS);
    ASSERT_TRUE(sub.Create(key.Get(), u"Sub\u00e4"));
    ASSERT_TRUE(sub.WriteDword(u"Count", 42));
    ASSERT_TRUE(deeper.Create(sub.Get(), u"Deeper"));
  }
  const TValues before = ReadValues(path);
  const TRegistrySnapshot original = TRegistrySnapshot::Capture(HKEY_LOCAL_MACHINE, path);
  ASSERT_TRUE(original.Exists());
  TRegistrySnapshot rebuilt;
  ASSERT_TRUE(TRegistrySnapshot::FromRecords(HKEY_LOCAL_MACHINE, path, original.Records(), rebuilt));

  // What a failed update did to the key before its rollback.
  ASSERT_TRUE(Repository::Register(name, u"D:\\Other\\Uninstall.exe", u"", u"Other", u"6.10", 1));
  dlx::TRegistryKey key;
  ASSERT_TRUE(key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WRITE));
  key.WriteString(u"Stray", u"left by the failed run");
  dlx::TRegistryKey planted;
  ASSERT_TRUE(planted.Create(key.Get(), u"Planted"));
  planted.Close();
  key.Close();
  ASSERT_NE(ReadValues(path), before);
  ASSERT_TRUE(rebuilt.Restore());
  EXPECT_EQ(ReadValues(path), before) << "every value back, with its type and bytes, and nothing else";
  EXPECT_EQ(TRegistrySnapshot::Capture(HKEY_LOCAL_MACHINE, path).Records(), original.Records())
      << "the subkeys too";
  EXPECT_FALSE(dlx::TRegistryKey::KeyExists(HKEY_LOCAL_MACHINE, path + u"\\Planted"));

  EXPECT_TRUE(Repository::Unregister(name));
  EXPECT_FALSE(dlx::TRegistryKey::KeyExists(HKEY_LOCAL_MACHINE, path));
}

}  // namespace
