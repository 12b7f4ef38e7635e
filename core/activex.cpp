#include "core/activex.h"

#include <windows.h>

#include "core/paths.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/win/handles.h"
#include "lib/win/system.h"

using dlx::String;

namespace {

// The library's own folder and the system folder are searched for what it imports; never the
// current folder nor PATH. Systems without these flags (Vista and 7 without their update) take
// the altered search path, which starts in the library's folder too.
HMODULE LoadFromItsFolder(const String& fullPath) {
  HMODULE module = LoadLibraryExW(dlx::W(fullPath), nullptr,
                                  LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
    module = LoadLibraryExW(dlx::W(fullPath), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  return module;
}

}  // namespace

bool TInstallerActiveX::CallExport(const String& libraryPath, const char* functionName) {
  dlx::TLibraryHandle library;
  const String fullPath = CanonicalPath(libraryPath);
  if (!fullPath.empty()) {
    dlx::TThreadErrorMode errorMode(SEM_FAILCRITICALERRORS);
    library.Reset(LoadFromItsFolder(fullPath));
  }
  const String function = dlx::FromUtf8(functionName ? functionName : "");
  if (!library) {
    dlx::Log(u"Cannot load \"" + libraryPath + u"\" (" + dlx::IntToStr(static_cast<int64_t>(GetLastError())) +
             u"); " + function + u" skipped");
    return false;
  }
  // COM server exports return an HRESULT; it is logged, nothing depends on it.
  using TExport = HRESULT(WINAPI*)();
  const auto procedure = functionName ? library.GetProc<TExport>(functionName) : nullptr;
  if (!procedure) {
    dlx::Log(u"\"" + libraryPath + u"\" has no " + function + u"; skipped");
    return false;
  }
  const HRESULT result = procedure();
  dlx::Log(u"Called " + function + u" of \"" + libraryPath + u"\": result " +
           dlx::IntToStr(static_cast<int64_t>(static_cast<uint32_t>(result))));
  return true;
}

bool TInstallerActiveX::UnregisterServer(const String& libraryPath) {
  return CallExport(libraryPath, "DllUnregisterServer");
}
