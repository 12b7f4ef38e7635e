#include "lib/win/system_library.h"

#include "lib/log.h"

namespace dlx {
namespace {

// Values of the newer loader flags, for headers that predate them.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);

// Looked up at run time: a static import would keep the program from starting on a system
// without the call.
SetDefaultDllDirectoriesProc FindSetDefaultDllDirectories() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return nullptr;
  return reinterpret_cast<SetDefaultDllDirectoriesProc>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
}

}  // namespace

bool HardenDllSearch() {
  // An empty string removes the current folder from the classic search order.
  SetDllDirectoryW(L"");
  const SetDefaultDllDirectoriesProc setDefault = FindSetDefaultDllDirectories();
  return setDefault && setDefault(kSearchSystem32);
}

String SystemFolder() {
  wchar_t buffer[MAX_PATH + 1] = {};
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  if (length == 0 || length > MAX_PATH) return String();
  String folder = FromW(buffer, length);
  if (folder.back() != u'\\') folder += u'\\';
  return folder;
}

HMODULE LoadSystemLibrary(const String& fileName) {
  // A name with a folder part would defeat the purpose.
  if (fileName.empty() || fileName.find_first_of(u"\\/:") != String::npos) return nullptr;
  HMODULE module = LoadLibraryExW(W(fileName), nullptr, kSearchSystem32);
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER) {
    // The flag is unknown to this system: name the file in the system folder instead.
    const String folder = SystemFolder();
    if (!folder.empty())
      module = LoadLibraryExW(W(folder + fileName), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  if (!module) Log(u"Cannot load the system library " + fileName + u" (" + IntToStr(GetLastError()) + u")");
  return module;
}

}  // namespace dlx
