#include "core/activex.h"

#include <objbase.h>
#include <windows.h>

#include <atomic>
#include <memory>

#include "core/code_trust.h"
#include "core/errors.h"
#include "core/file_utils.h"
#include "core/paths.h"
#include "core/texts.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/win/handles.h"
#include "lib/win/system.h"
#include "lib/win/thread.h"

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
  const String function = dlx::FromUtf8(functionName ? functionName : "");
  // A library that a standard user could have replaced, or planted beside, is never loaded here.
  if (!fullPath.empty() && dlx::FileExists(fullPath) && !MayRunElevated(fullPath, u"loaded")) {
    dlx::Log(u"\"" + libraryPath + u"\": " + function + u" skipped");
    return false;
  }
  if (!fullPath.empty()) {
    dlx::TThreadErrorMode errorMode(SEM_FAILCRITICALERRORS);
    library.Reset(LoadFromItsFolder(fullPath));
  }
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

namespace {

// Shared between a timed call and its thread, which may outlive the call.
struct TTimedCall {
  String Library;
  const char* Function;
  std::atomic<bool> Result{false};
};

// A thread procedure of the system's calling convention (a lambda has the compiler's, which
// differs on 32-bit Windows).
DWORD WINAPI RunTimedCall(LPVOID parameter) {
  std::unique_ptr<std::shared_ptr<TTimedCall>> state(static_cast<std::shared_ptr<TTimedCall>*>(parameter));
  // COM servers expect COM on the thread that registers them.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  (*state)->Result.store(TInstallerActiveX::CallExport((*state)->Library, (*state)->Function));
  if (SUCCEEDED(com)) CoUninitialize();
  return 0;
}

}  // namespace

bool TInstallerActiveX::CallExportWithin(const String& libraryPath, const char* functionName,
                                         uint32_t limitMs) {
  if (limitMs == INFINITE) return CallExport(libraryPath, functionName);
  auto call = std::make_shared<TTimedCall>();
  call->Library = libraryPath;
  call->Function = functionName;
  auto* owned = new std::shared_ptr<TTimedCall>(call);
  dlx::TScopedHandle thread(CreateThread(nullptr, 0, &RunTimedCall, owned, 0, nullptr));
  if (!thread) {
    delete owned;
    return CallExport(libraryPath, functionName);
  }
  if (!dlx::WaitWithMessages(thread.Get(), limitMs)) {
    const String seconds = dlx::IntToStr(static_cast<int64_t>(limitMs / 1000));
    dlx::Log(u"Still in " + dlx::FromUtf8(functionName) + u" of \"" + libraryPath + u"\" after " + seconds +
             u" s; given up");
    throw EInstallerInstallError(CommonText(u"E10", {dlx::FromUtf8(functionName), libraryPath, seconds}));
  }
  return call->Result.load();
}

bool TInstallerActiveX::UnregisterServer(const String& libraryPath) {
  return CallExportWithin(libraryPath, "DllUnregisterServer", RunWaitLimitMs());
}
