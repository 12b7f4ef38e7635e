#include "core/paths.h"

// clang-format off
#include <windows.h>
#include <shlobj.h>
#include <knownfolders.h>
// clang-format on

#include "lib/platform/text.h"
#include "lib/win/handles.h"

using dlx::String;
using dlx::StringView;

namespace {

// Shell folders of the current user and the common ones: each is a place a person keeps things
// or the system keeps its own, never a folder of one product.
constexpr int kShellFolders[] = {
    CSIDL_DESKTOPDIRECTORY,
    CSIDL_PERSONAL,
    CSIDL_MYMUSIC,
    CSIDL_MYPICTURES,
    CSIDL_MYVIDEO,
    CSIDL_APPDATA,
    CSIDL_LOCAL_APPDATA,
    CSIDL_STARTMENU,
    CSIDL_PROGRAMS,
    CSIDL_STARTUP,
    CSIDL_FAVORITES,
    CSIDL_TEMPLATES,
    CSIDL_PROFILE,
    CSIDL_COMMON_DESKTOPDIRECTORY,
    CSIDL_COMMON_DOCUMENTS,
    CSIDL_COMMON_MUSIC,
    CSIDL_COMMON_PICTURES,
    CSIDL_COMMON_VIDEO,
    CSIDL_COMMON_APPDATA,
    CSIDL_COMMON_STARTMENU,
    CSIDL_COMMON_PROGRAMS,
    CSIDL_COMMON_STARTUP,
    CSIDL_COMMON_TEMPLATES,
    CSIDL_WINDOWS,
    CSIDL_SYSTEM,
    CSIDL_SYSTEMX86,
    CSIDL_PROGRAM_FILES,
    CSIDL_PROGRAM_FILESX86,
    CSIDL_PROGRAM_FILES_COMMON,
    CSIDL_PROGRAM_FILES_COMMONX86,
    CSIDL_FONTS,
};

// Folders only the known-folder call names (Downloads has no CSIDL). Looked up at run time:
// the call is missing before Vista.
const GUID* const kKnownFolders[] = {&FOLDERID_Downloads, &FOLDERID_Public, &FOLDERID_UserProfiles,
                                     &FOLDERID_ProgramFilesX64, &FOLDERID_ProgramFilesCommonX64};

void AddFolder(std::vector<String>& list, const String& path) {
  if (path.empty()) return;
  String canonical = CanonicalPath(path);
  if (canonical.empty()) return;
  for (const String& known : list)
    if (SamePath(known, canonical)) return;
  list.push_back(std::move(canonical));
}

String Environment(const wchar_t* name) {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH + 1);
  return length == 0 || length > MAX_PATH ? String() : dlx::FromW(buffer, length);
}

String ExpandEnvironment(const String& text) {
  wchar_t buffer[MAX_PATH + 1] = {};
  const DWORD length = ExpandEnvironmentStringsW(dlx::W(text), buffer, MAX_PATH + 1);
  return length == 0 || length > MAX_PATH + 1 ? String() : dlx::FromW(buffer);
}

void AddKnownFolders(std::vector<String>& list) {
  using GetKnownFolderPath = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
  const HMODULE shell = GetModuleHandleW(L"shell32.dll");
  if (!shell) return;
  const auto get = reinterpret_cast<GetKnownFolderPath>(
      reinterpret_cast<void*>(GetProcAddress(shell, "SHGetKnownFolderPath")));
  if (!get) return;
  for (const GUID* id : kKnownFolders) {
    PWSTR path = nullptr;
    if (SUCCEEDED(get(*id, 0, nullptr, &path)) && path) AddFolder(list, dlx::FromW(path));
    CoTaskMemFree(path);
  }
}

// Every user's profile folder and the folder that holds them, from the profile list.
void AddProfiles(std::vector<String>& list) {
  const String listKey = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
  dlx::TRegistryKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, listKey)) return;
  String value;
  for (const wchar_t* name : {L"ProfilesDirectory", L"Default", L"Public"})
    if (key.ReadString(dlx::FromW(name), value)) AddFolder(list, ExpandEnvironment(value));
  for (const String& sid : key.SubKeyNames()) {
    dlx::TRegistryKey profile;
    if (profile.Open(HKEY_LOCAL_MACHINE, listKey + u"\\" + sid) &&
        profile.ReadString(u"ProfileImagePath", value))
      AddFolder(list, ExpandEnvironment(value));
  }
}

}  // namespace

String CanonicalPath(const String& path) {
  String text = path;
  for (dlx::Char& c : text)
    if (c == u'/') c = u'\\';
  if (text.rfind(u"\\\\?\\UNC\\", 0) == 0) {
    text = u"\\\\" + text.substr(8);
  } else if (text.rfind(u"\\\\?\\", 0) == 0) {
    text = text.substr(4);
  }
  if (text.empty()) return String();
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  DWORD length = GetFullPathNameW(dlx::W(text), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetFullPathNameW(dlx::W(text), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  }
  if (length == 0 || length >= buffer.size()) return String();
  String full = dlx::FromW(buffer.data(), length);
  // The trailing backslash stays on a drive root only ("C:\"), so equal folders have equal text.
  while (full.size() > 3 && full.back() == u'\\') full.pop_back();
  if (full.size() == 2 && full[1] == u':') full += u'\\';
  return full;
}

std::vector<String> PathComponents(StringView path) {
  std::vector<String> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(u'\\', start);
    if (end == StringView::npos) end = path.size();
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

bool IsPathInside(StringView path, StringView root, bool allowEqual) {
  // A network path and a drive path never contain one another, even when their parts agree.
  const bool pathUnc = path.substr(0, 2) == u"\\\\";
  const bool rootUnc = root.substr(0, 2) == u"\\\\";
  if (pathUnc != rootUnc) return false;
  const std::vector<String> parts = PathComponents(path);
  const std::vector<String> rootParts = PathComponents(root);
  if (rootParts.empty() || parts.size() < rootParts.size()) return false;
  if (parts.size() == rootParts.size() && !allowEqual) return false;
  for (size_t i = 0; i < rootParts.size(); ++i)
    if (!dlx::SameText(parts[i], rootParts[i])) return false;
  return true;
}

bool SamePath(StringView a, StringView b) {
  return IsPathInside(a, b, true) && IsPathInside(b, a, true);
}

std::vector<String> ProtectedFolders() {
  std::vector<String> list;
  for (const int csidl : kShellFolders) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) AddFolder(list, dlx::FromW(buffer));
  }
  AddKnownFolders(list);
  // A 32-bit process sees the 64-bit program-files folders only through these variables.
  for (const wchar_t* name : {L"ProgramW6432", L"CommonProgramW6432", L"ProgramFiles", L"ProgramFiles(x86)",
                              L"SystemRoot", L"windir", L"USERPROFILE", L"PUBLIC", L"ALLUSERSPROFILE"})
    AddFolder(list, Environment(name));
  wchar_t buffer[MAX_PATH + 2] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
  if (length > 0 && length <= MAX_PATH + 1) AddFolder(list, dlx::FromW(buffer, length));
  AddProfiles(list);
  return list;
}

bool IsProtectedFolder(const String& path, const std::vector<String>& protectedFolders) {
  const String canonical = CanonicalPath(path);
  if (canonical.empty()) return false;
  const size_t parts = PathComponents(canonical).size();
  // "C:\" has one part, "\\server\share" two: the root of a volume or of a share.
  if (parts <= (canonical.substr(0, 2) == u"\\\\" ? 2u : 1u)) return true;
  for (const String& folder : protectedFolders)
    if (SamePath(canonical, folder)) return true;
  return false;
}

bool IsProtectedFolder(const String& path) {
  return IsProtectedFolder(path, ProtectedFolders());
}

std::vector<String> ProgramFilesFolders() {
  std::vector<String> list;
  for (const int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86}) {
    wchar_t buffer[MAX_PATH + 1] = {};
    if (SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) AddFolder(list, dlx::FromW(buffer));
  }
  // A 32-bit process sees the 64-bit folder only through this variable.
  for (const wchar_t* name : {L"ProgramW6432", L"ProgramFiles", L"ProgramFiles(x86)"})
    AddFolder(list, Environment(name));
  return list;
}
