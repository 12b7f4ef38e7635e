#include "core/activex.h"

#include <windows.h>

#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/win/handles.h"

using dlx::String;

namespace {

// Restores the error mode and the current folder however the load ends.
class TLoadEnvironment {
 public:
  explicit TLoadEnvironment(const String& folder)
      : oldMode_(SetErrorMode(SEM_FAILCRITICALERRORS)), oldFolder_(dlx::GetCurrentDir()) {
    if (!folder.empty()) dlx::SetCurrentDir(folder);
  }
  ~TLoadEnvironment() {
    if (!oldFolder_.empty()) dlx::SetCurrentDir(oldFolder_);
    SetErrorMode(oldMode_);
  }
  TLoadEnvironment(const TLoadEnvironment&) = delete;
  TLoadEnvironment& operator=(const TLoadEnvironment&) = delete;

 private:
  UINT oldMode_;
  String oldFolder_;
};

}  // namespace

bool TInstallerActiveX::CallExport(const String& libraryPath, const char* functionName) {
  dlx::TLibraryHandle library;
  {
    TLoadEnvironment environment(dlx::ExtractFilePath(libraryPath));
    library.Load(libraryPath);
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
