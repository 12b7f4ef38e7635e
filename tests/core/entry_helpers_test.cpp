#include <windows.h>
// clang-format off
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include <set>
#include <string>

#include "core/entry.h"
#include "lib/command_line.h"
#include "lib/exceptions.h"
#include "lib/file_system.h"
#include "tests/core/entry_test_support.h"

using dlx::String;
using dlx::TDLXCommandLineProcessor;
using entrytest::TempFolder;

TEST(EntryPaths, InsideTheFolderMeansBelowItIgnoringCase) {
  EXPECT_TRUE(IsPathInsideFolder(u"C:\\Users\\A\\Temp\\ZUVA-1\\", u"C:\\Users\\A\\Temp\\"));
  EXPECT_TRUE(IsPathInsideFolder(u"c:\\users\\a\\TEMP\\", u"C:\\Users\\A\\Temp\\"));
  // A sibling whose name merely begins like the folder is outside.
  EXPECT_FALSE(IsPathInsideFolder(u"C:\\Users\\A\\Temp2\\", u"C:\\Users\\A\\Temp\\"));
  EXPECT_FALSE(IsPathInsideFolder(u"C:\\Program Files\\ZUVA\\", u"C:\\Users\\A\\Temp\\"));
  EXPECT_FALSE(IsPathInsideFolder(u"C:\\Users\\", u"C:\\Users\\A\\Temp\\"));
  EXPECT_FALSE(IsPathInsideFolder(u"C:\\", u""));
}

TEST(EntryPaths, ThePathSwitchOfTheRelaunchReadsBackAsTheFolderAndTheOriginalSwitches) {
  // The folder ends in a backslash right before the closing quote, and may hold blanks.
  const String parameters =
      dlx::FormatSwitch(u"PATH", u"C:\\Program Files\\ZUVA\\", u"/AUTO /SILENT /LOG=x.log");
  String value;
  ASSERT_TRUE(TDLXCommandLineProcessor::FindSwitch(parameters, u"PATH", value));
  EXPECT_EQ(value, u"C:\\Program Files\\ZUVA\\");
  EXPECT_TRUE(TDLXCommandLineProcessor::HasSwitch(parameters, u"AUTO"));
  EXPECT_TRUE(TDLXCommandLineProcessor::HasSwitch(parameters, u"SILENT"));
  ASSERT_TRUE(TDLXCommandLineProcessor::FindSwitch(parameters, u"LOG", value));
  EXPECT_EQ(value, u"x.log");
}

TEST(EntryPaths, TheSkipUacSwitchReadsBackAsTheWindowNumber) {
  const String parameters = dlx::FormatSwitch(u"SKIPUAC", int64_t{66214}, u"/AUTO=\"C:\\A B\"");
  String value;
  ASSERT_TRUE(TDLXCommandLineProcessor::FindSwitch(parameters, u"SKIPUAC", value));
  EXPECT_EQ(value, u"66214");
  ASSERT_TRUE(TDLXCommandLineProcessor::FindSwitch(parameters, u"AUTO", value));
  EXPECT_EQ(value, u"C:\\A B");
}

TEST(EntryPaths, HelpIsASwitchOfItsOwn) {
  EXPECT_TRUE(TDLXCommandLineProcessor::HasSwitch(u"/?", u"?"));
  EXPECT_TRUE(TDLXCommandLineProcessor::HasSwitch(u"/AUTO /?", u"?"));
  EXPECT_FALSE(TDLXCommandLineProcessor::HasSwitch(u"/AUTO=\"C:\\?\"", u"?"));
}

TEST(EntryFiles, ADotLocalFileOrFolderBesideTheProgramIsFound) {
  TempFolder folder(u"dotlocal");
  const String program = folder.Path() + u"ZUVASetup.exe";
  entrytest::WriteFile(program, "x");
  EXPECT_EQ(FindDotLocalRedirection(program), String());
  ASSERT_TRUE(dlx::ForceDirectories(program + u".local"));
  EXPECT_EQ(FindDotLocalRedirection(program), program + u".local");
  ASSERT_TRUE(dlx::RemoveDirectory(program + u".local"));
  entrytest::WriteFile(program + u".local", "");
  EXPECT_EQ(FindDotLocalRedirection(program), program + u".local");
}

TEST(EntryFiles, CopyIntoFolderReplacesAndReportsBothPathsOnFailure) {
  TempFolder from(u"copy-from");
  TempFolder to(u"copy-to");
  entrytest::WriteFile(from.Path() + u"Uninstall.exe", "new content");
  entrytest::WriteFile(to.Path() + u"Uninstall.exe", "old");
  EXPECT_EQ(CopyIntoFolder(from.Path() + u"Uninstall.exe", to.Path()), to.Path() + u"Uninstall.exe");
  EXPECT_EQ(entrytest::ReadFile(to.Path() + u"Uninstall.exe"), "new content");

  try {
    CopyIntoFolder(from.Path() + u"Uninstall.dat", to.Path());
    FAIL() << "a missing source must raise";
  } catch (const dlx::EDLXOSError& e) {
    EXPECT_EQ(e.Code(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(e.Message().rfind(u"System Error.  Code: 2.\r\n", 0), 0u);
    const String paths = from.Path() + u"Uninstall.dat -> " + to.Path() + u"Uninstall.dat";
    EXPECT_EQ(e.Message().substr(e.Message().size() - paths.size()), paths);
  }
}

TEST(EntryFiles, PrivateFoldersAreNewEachTimeAndNeverReuseAnExistingOne) {
  TempFolder parent(u"private");
  const String first = CreatePrivateFolder(parent.Path());
  const String second = CreatePrivateFolder(parent.Path());
  EXPECT_NE(first, second);
  EXPECT_TRUE(dlx::DirectoryExists(first));
  EXPECT_TRUE(dlx::DirectoryExists(second));
  EXPECT_EQ(first.back(), u'\\');
  EXPECT_TRUE(IsPathInsideFolder(first, parent.Path()));
  EXPECT_EQ(entrytest::SubFolders(parent.Path(), u"ZUVA-").size(), 2u);

  try {
    CreatePrivateFolder(parent.Path() + u"missing\\deeper\\");
    FAIL() << "a folder that cannot be created must raise";
  } catch (const dlx::EDLXOSError& e) {
    EXPECT_EQ(e.Message().rfind(u"System Error.  Code: ", 0), 0u);
  }
}

namespace {

// The protection flag and the allowed SIDs of a descriptor; any other entry type fails the test.
void ReadAccess(PSECURITY_DESCRIPTOR descriptor, PACL dacl, bool& isProtected, std::set<String>& allowed) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
  isProtected = (control & SE_DACL_PROTECTED) != 0;
  ASSERT_NE(dacl, nullptr);
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    ASSERT_EQ(static_cast<ACE_HEADER*>(ace)->AceType, ACCESS_ALLOWED_ACE_TYPE) << "entry " << i;
    auto* allowedAce = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    wchar_t* sid = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidW(reinterpret_cast<PSID>(&allowedAce->SidStart), &sid));
    allowed.insert(dlx::FromW(sid));
    LocalFree(sid);
  }
}

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace

TEST(EntryFiles, PrivateFoldersAreMadeForAdministratorsAndSystemOnlyWithAHighLabel) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(dlx::W(PrivateFolderSecurityText()),
                                                                   SDDL_REVISION_1, &descriptor, nullptr));
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
  EXPECT_TRUE(present);
  bool isProtected = false;
  std::set<String> allowed;
  ReadAccess(descriptor, dacl, isProtected, allowed);
  EXPECT_TRUE(isProtected) << "entries of the temporary folder must not be inherited";
  EXPECT_EQ(allowed, (std::set<String>{u"S-1-5-18", u"S-1-5-32-544"})) << "not the user's other programs";
  for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    EXPECT_EQ(static_cast<ACCESS_ALLOWED_ACE*>(ace)->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_EQ(static_cast<ACE_HEADER*>(ace)->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
              OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
  }
  PACL sacl = nullptr;
  ASSERT_TRUE(GetSecurityDescriptorSacl(descriptor, &present, &sacl, &defaulted));
  ASSERT_TRUE(present && sacl && sacl->AceCount == 1);
  void* label = nullptr;
  ASSERT_TRUE(GetAce(sacl, 0, &label));
  EXPECT_EQ(static_cast<ACE_HEADER*>(label)->AceType, SYSTEM_MANDATORY_LABEL_ACE_TYPE);
  const auto* mandatory = static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(label);
  EXPECT_EQ(mandatory->Mask, static_cast<DWORD>(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP));
  const PSID level = const_cast<DWORD*>(&mandatory->SidStart);
  EXPECT_EQ(*GetSidSubAuthority(level, 0), static_cast<DWORD>(SECURITY_MANDATORY_HIGH_RID));
  LocalFree(descriptor);
}

TEST(EntryFiles, APrivateFolderCarriesThatSecurity) {
  // Wine keeps a file's descriptor only where the file system stores extended attributes, and
  // otherwise answers one made from the Unix permissions.
  if (RunningUnderWine()) GTEST_SKIP() << "Wine does not keep folder descriptors on this file system";
  TempFolder parent(u"acl");
  const String folder = CreatePrivateFolder(parent.Path());
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(dlx::W(folder), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                  &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  bool isProtected = false;
  std::set<String> allowed;
  ReadAccess(descriptor, dacl, isProtected, allowed);
  LocalFree(descriptor);
  EXPECT_TRUE(isProtected);
  EXPECT_EQ(allowed, (std::set<String>{u"S-1-5-18", u"S-1-5-32-544"}));
}
