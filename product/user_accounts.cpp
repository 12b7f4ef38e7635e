#include "product/user_accounts.h"

// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include "core/resources.h"
#include "lib/exceptions.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/text.h"
#include "lib/win/handles.h"

using dlx::String;

namespace {

constexpr char16_t kProfileList[] = u"Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
constexpr char16_t kShellFolders[] =
    u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders\\";

String CurrentUserName() {
  wchar_t buffer[128] = {};
  DWORD size = 128;
  if (!GetUserNameW(buffer, &size)) return String();
  return dlx::FromW(buffer);
}

String ExpandEnvironment(const String& text) {
  DWORD size = ExpandEnvironmentStringsW(dlx::W(text), nullptr, 0);
  for (;;) {
    if (size == 0) {
      const DWORD code = GetLastError();
      throw dlx::EDLXOSError(code, u"Cannot expand \"" + text + u"\" (" + dlx::IntToStr(code) + u")");
    }
    std::wstring buffer(size, L'\0');
    const DWORD needed = ExpandEnvironmentStringsW(dlx::W(text), buffer.data(), size);
    if (needed != 0 && needed <= size) return dlx::FromW(buffer.c_str());
    size = needed;
  }
}

// Every occurrence of the variable, ignoring case, replaced by the value.
String ReplaceIgnoringCase(const String& text, dlx::StringView variable, const String& value) {
  String result;
  size_t i = 0;
  while (i < text.size()) {
    if (i + variable.size() <= text.size() &&
        dlx::SameText(dlx::StringView(text).substr(i, variable.size()), variable)) {
      result += value;
      i += variable.size();
    } else {
      result += text[i++];
    }
  }
  return result;
}

}  // namespace

TDLXUserAccountInfo::TDLXUserAccountInfo(const String& sid, const String& userName, const String& appDataPath,
                                         const String& profilePath)
    : Sid(sid),
      UserName(userName),
      AppDataPath(dlx::IncludeTrailingPathDelimiter(appDataPath)),
      ProfilePath(dlx::IncludeTrailingPathDelimiter(profilePath)) {}

bool TDLXUserAccountInfoList::AddUnique(std::unique_ptr<TDLXUserAccountInfo> info) {
  for (const auto& item : items_)
    if (item->Equals(*info)) return false;
  items_.push_back(std::move(info));
  return true;
}

void TDLXUserAccounts::Populate(TDLXUserAccountInfoList& list) {
  list.AddUnique(std::make_unique<TDLXUserAccountInfo>(
      String(), CurrentUserName(), GetSpecialFolder(CSIDL_APPDATA), GetSpecialFolder(CSIDL_PROFILE)));

  dlx::TRegistryKey profiles;
  if (!profiles.Open(HKEY_LOCAL_MACHINE, kProfileList, KEY_READ)) return;
  for (const String& sid : profiles.SubKeyNames()) {
    // A profile that Windows had to replace keeps its broken copy under "<sid>.bak".
    if (dlx::SameText(dlx::ExtractFileExt(sid), u".bak")) continue;
    dlx::TRegistryKey profile;
    String imagePath;
    if (profile.Open(profiles.Get(), sid, KEY_READ)) profile.ReadString(u"ProfileImagePath", imagePath);
    const String profilePath = ExpandEnvironment(imagePath);
    if (profilePath.empty() || !dlx::DirectoryExists(profilePath)) continue;

    dlx::TRegistryKey shellFolders;
    if (!shellFolders.Open(HKEY_USERS, sid + kShellFolders, KEY_READ) &&
        !shellFolders.Open(HKEY_USERS, String(u".DEFAULT") + kShellFolders, KEY_READ))
      continue;
    String appData;
    shellFolders.ReadString(u"AppData", appData);
    shellFolders.Close();
    appData = ReplaceIgnoringCase(appData, u"%USERPROFILE%", dlx::ExcludeTrailingPathDelimiter(profilePath));
    if (appData.empty()) continue;
    list.AddUnique(std::make_unique<TDLXUserAccountInfo>(
        String(), dlx::ExtractFileName(dlx::ExcludeTrailingPathDelimiter(profilePath)), appData,
        profilePath));
  }
}

std::unique_ptr<TDLXUserAccountInfoList> TDLXUserAccounts::Populate() {
  auto list = std::make_unique<TDLXUserAccountInfoList>();
  Populate(*list);
  return list;
}
