#include "lib/win/system.h"

#include <atomic>

#include "lib/log.h"

namespace dlx {
namespace {

using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOW*);

TDLXSystemVersion QueryVersion() {
  TDLXSystemVersion version;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
    auto proc =
        reinterpret_cast<RtlGetVersionProc>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (proc && proc(&info) == 0) {
      version.Major = info.dwMajorVersion;
      version.Minor = info.dwMinorVersion;
      version.Build = info.dwBuildNumber;
      return version;
    }
  }
  // Without ntdll's answer the (possibly understated) documented one is all there is.
  info = OSVERSIONINFOW{};
  info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (GetVersionExW(&info)) {
#pragma GCC diagnostic pop
    version.Major = info.dwMajorVersion;
    version.Minor = info.dwMinorVersion;
    version.Build = info.dwBuildNumber;
  }
  return version;
}

bool AtLeast(uint32_t major, uint32_t minor) {
  const TDLXSystemVersion& v = SystemVersion();
  return v.Major > major || (v.Major == major && v.Minor >= minor);
}

std::atomic<bool> gSuppressBoxes{false};

}  // namespace

const TDLXSystemVersion& SystemVersion() {
  static const TDLXSystemVersion version = QueryVersion();
  return version;
}

bool IsWinVistaOrLater() {
  return AtLeast(6, 0);
}
bool IsWin7OrLater() {
  return AtLeast(6, 1);
}
bool IsWin10OrLater() {
  return AtLeast(10, 0);
}

void SetSuppressMessageBoxes(bool suppress) {
  gSuppressBoxes.store(suppress);
}

bool MessageBoxesSuppressed() {
  return gSuppressBoxes.load();
}

int SafeMessageBoxResult(UINT flags) {
  switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
    case MB_RETRYCANCEL:
    case MB_YESNOCANCEL:
    case MB_CANCELTRYCONTINUE:
      return IDCANCEL;
    case MB_ABORTRETRYIGNORE:
      return IDABORT;
    case MB_YESNO:
      return IDNO;
    default:
      return IDOK;
  }
}

int ShowErrorBox(HWND owner, const String& text, const String& caption, UINT flags) {
  if (MessageBoxesSuppressed()) {
    const int result = SafeMessageBoxResult(flags);
    Log(u"Message box (not shown, answered " + IntToStr(result) + u"): " + caption + u": " + text);
    return result;
  }
  Log(u"Message box: " + caption + u": " + text);
  const int result = MessageBoxW(owner, W(text), W(caption), flags);
  Log(u"Message box answered " + IntToStr(result));
  return result;
}

HWND CreateMessageOnlyWindow(const wchar_t* className, WNDPROC windowProc) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  if (!GetClassInfoW(instance, className, &windowClass)) {
    windowClass = WNDCLASSW{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
  }
  return CreateWindowExW(WS_EX_TOOLWINDOW, className, L"", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         instance, nullptr);
}

namespace {

using TSetThreadErrorMode = BOOL(WINAPI*)(DWORD, LPDWORD);

TSetThreadErrorMode ThreadErrorModeCall() {
  static const auto call = reinterpret_cast<TSetThreadErrorMode>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadErrorMode")));
  return call;
}

}  // namespace

TThreadErrorMode::TThreadErrorMode(UINT flags) {
  if (const TSetThreadErrorMode call = ThreadErrorModeCall(); call && call(flags, &previous_)) {
    call(previous_ | flags, nullptr);
    perThread_ = true;
    return;
  }
  previous_ = SetErrorMode(flags);
  SetErrorMode(previous_ | flags);
}

TThreadErrorMode::~TThreadErrorMode() {
  const DWORD error = GetLastError();
  if (perThread_)
    ThreadErrorModeCall()(previous_, nullptr);
  else
    SetErrorMode(previous_);
  SetLastError(error);
}

}  // namespace dlx
