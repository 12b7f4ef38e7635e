#include "core/code_trust.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include <vector>

#include "core/paths.h"
#include "lib/log.h"
#include "lib/win/handles.h"

using dlx::String;

namespace {

// Rights that let a holder change what the object is or holds. For a folder the same bits add
// files and subfolders (FILE_ADD_FILE, FILE_ADD_SUBDIRECTORY) and delete its entries.
constexpr DWORD kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_DELETE_CHILD |
                                DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

String SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!sid || !ConvertSidToStringSidW(sid, &text)) return u"?";
  const String result = dlx::FromW(text);
  LocalFree(text);
  return result;
}

// The user this process runs as.
String ProcessUserSid() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return String();
  const dlx::TScopedHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return String();
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

bool IsTrusted(PSID sid, const String& processUser) {
  const String text = SidText(sid);
  return text == u"S-1-5-18" || text == u"S-1-5-32-544" ||
         text == u"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464" ||
         (!processUser.empty() && text == processUser);
}

bool ObjectIsTrusted(const String& path, const String& processUser, String& why) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  String text = path;
  const DWORD status = GetNamedSecurityInfoW(dlx::W(text), SE_FILE_OBJECT,
                                             OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                             nullptr, &dacl, nullptr, &descriptor);
  if (status != ERROR_SUCCESS) {
    why = u"the access rules of \"" + path + u"\" cannot be read (" +
          dlx::IntToStr(static_cast<int64_t>(status)) + u")";
    return false;
  }
  bool trusted = true;
  if (!IsTrusted(owner, processUser)) {
    why = u"\"" + path + u"\" belongs to " + SidText(owner);
    trusted = false;
  } else if (!dacl) {
    why = u"\"" + path + u"\" has no access rules: everyone may change it";
    trusted = false;
  }
  for (DWORD i = 0; trusted && i < dacl->AceCount; ++i) {
    ACE_HEADER* header = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&header))) continue;
    // Rules only for what is made inside later do not apply to the object itself.
    if (header->AceFlags & INHERIT_ONLY_ACE) continue;
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) {
      why = u"\"" + path + u"\" has an access rule of a kind this check does not read";
      trusted = false;
      break;
    }
    const auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
    const PSID sid = const_cast<DWORD*>(&ace->SidStart);
    if ((ace->Mask & kChangeRights) && !IsTrusted(sid, processUser)) {
      why = u"\"" + path + u"\" may be changed by " + SidText(sid);
      trusted = false;
    }
  }
  LocalFree(descriptor);
  return trusted;
}

}  // namespace

String ProgramFilesSecurityText() {
  return u"D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
}

bool ApplyProgramFilesSecurity(const String& folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(dlx::W(ProgramFilesSecurityText()),
                                                            SDDL_REVISION_1, &descriptor, nullptr)) {
    dlx::Log(u"Cannot make the access rules for \"" + folder + u"\" (" + dlx::IntToStr(GetLastError()) +
             u")");
    return false;
  }
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  String text = CanonicalPath(folder);
  // Protected: nothing of the parent (which users may be allowed to change) is inherited.
  const DWORD status = SetNamedSecurityInfoW(dlx::W(text), SE_FILE_OBJECT,
                                             DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                             nullptr, nullptr, dacl, nullptr);
  LocalFree(descriptor);
  if (status != ERROR_SUCCESS) {
    dlx::Log(u"Cannot set the access rules of \"" + text + u"\" (" +
             dlx::IntToStr(static_cast<int64_t>(status)) + u")");
    return false;
  }
  dlx::Log(u"\"" + text + u"\" has the access rules of the program-files folders");
  return true;
}

bool IsChangeableOnlyByAdministrators(const String& path, String& why) {
  const String canonical = CanonicalPath(path);
  if (canonical.empty()) {
    why = u"\"" + path + u"\" is no path";
    return false;
  }
  const String processUser = ProcessUserSid();
  return ObjectIsTrusted(canonical, processUser, why) &&
         ObjectIsTrusted(CanonicalPath(canonical + u"\\.."), processUser, why);
}

bool MayRunElevated(const String& path, const String& what) {
  String why;
  if (IsChangeableOnlyByAdministrators(path, why)) return true;
  dlx::Log(u"Not " + what + u" with administrator rights: " + why);
  return false;
}
