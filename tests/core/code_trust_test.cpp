#include "core/code_trust.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include "core/file_utils.h"
#include "tests/core/extract_test_env.h"
#include "tests/core/folder_link.h"

using namespace extractenv;

namespace {

bool SetRules(const String& path, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
    return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  String text = path;
  const DWORD status = SetNamedSecurityInfoW(dlx::W(text), SE_FILE_OBJECT,
                                             DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                             nullptr, nullptr, dacl, nullptr);
  LocalFree(descriptor);
  return status == ERROR_SUCCESS;
}

String RulesText(const String& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  String text = path;
  if (GetNamedSecurityInfoW(dlx::W(text), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    return String();
  LPWSTR sddl = nullptr;
  String result;
  if (ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                           DACL_SECURITY_INFORMATION, &sddl, nullptr)) {
    result = dlx::FromW(sddl);
    LocalFree(sddl);
  }
  LocalFree(descriptor);
  return result;
}

constexpr wchar_t kAdminsOnly[] = L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";

// Wine keeps no access rules of its own: it maps the owner's and everyone's rights to the Linux
// permission bits and reads them back from there. What it can show is that everyone's write access
// is gone; Windows reads back the rules exactly.
TEST(CodeTrust, ANewFolderGetsTheRulesOfTheProgramFilesFolders) {
  TScratchFolder scratch;
  const String folder = scratch.Path() + u"ZUVA";
  ASSERT_TRUE(dlx::ForceDirectories(folder));
  ASSERT_TRUE(SetRules(folder, L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;WD)"));
  ASSERT_TRUE(WriteAll(folder + u"\\zuva_menu64.dll", "library"));
  String why;
  ASSERT_FALSE(IsChangeableOnlyByAdministrators(folder + u"\\zuva_menu64.dll", why)) << "everyone may write";
  ASSERT_TRUE(ApplyProgramFilesSecurity(folder));
  if (!RunsUnderWine()) {
    EXPECT_EQ(dlx::ToUtf8(RulesText(folder)), dlx::ToUtf8(ProgramFilesSecurityText()));
  }
  EXPECT_EQ(RulesText(folder).find(u";FA;;;WD)"), String::npos)
      << "everyone may no longer write: " << dlx::ToUtf8(RulesText(folder));
  // What is made in it later takes on the rules, so the elevated run may load it.
  ASSERT_TRUE(WriteAll(folder + u"\\zuva_registrar.exe", "program"));
  EXPECT_TRUE(IsChangeableOnlyByAdministrators(folder + u"\\zuva_registrar.exe", why)) << dlx::ToUtf8(why);
}

// The folder of a program decides as much as the program: a library planted beside it is loaded
// with it.
TEST(CodeTrust, CodeInAFolderThatUsersMayChangeIsNeitherTrustedNorStarted) {
  TScratchFolder scratch;
  const String folder = scratch.Path() + u"bin\\";
  const String program = folder + u"probe.exe";
  ASSERT_TRUE(dlx::ForceDirectories(folder));
  ASSERT_TRUE(dlx::CopyFile(dlx::GetExeName(), program, false));
  ASSERT_TRUE(SetRules(program, kAdminsOnly));
  const struct {
    const wchar_t* folderRules;
    bool trusted;
    bool storedByWine;  // Wine keeps only the owner's and everyone's rights
    const char* what;
  } cases[] = {
      {L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICIIO;FA;;;CO)", true, true,
       "program files: users read and execute"},
      {L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)", false, false, "users may modify"},
      {L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;;0x4;;;BU)", false, false,
       "users may add subfolders"},
      {L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;WD;;;AU)", false, false,
       "any signed-in user may change the rules"},
      {L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;WD)", false, true, "everyone may do anything"},
      {L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1201bf;;;WD)", false, true, "everyone may add files"},
  };
  for (const auto& c : cases) {
    if (RunsUnderWine() && !c.storedByWine) continue;
    ASSERT_TRUE(SetRules(folder, c.folderRules)) << c.what;
    String why;
    EXPECT_EQ(IsChangeableOnlyByAdministrators(program, why), c.trusted)
        << c.what << ": " << dlx::ToUtf8(why);
    // Started only when trusted: a refused program is not run at all.
    EXPECT_EQ(ExecuteAndWait(program, u"--gtest_filter=None", 60000), c.trusted) << c.what;
  }
  ASSERT_TRUE(SetRules(folder, L"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"));
  const bool wine = RunsUnderWine();
  ASSERT_TRUE(SetRules(program, wine ? L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1301bf;;;WD)"
                                     : L"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1301bf;;;BU)"));
  String why;
  EXPECT_FALSE(IsChangeableOnlyByAdministrators(program, why))
      << "the program itself may be changed by others";
  EXPECT_NE(why.find(wine ? u"S-1-1-0" : u"S-1-5-32-545"), String::npos) << dlx::ToUtf8(why);
}

}  // namespace
