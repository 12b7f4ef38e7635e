// What the library knows about the system it runs on, and its message box.
#pragma once

#include <windows.h>

#include <cstdint>

#include "lib/dlx_string.h"
#include "lib/exceptions.h"

namespace dlx {

// The real system version. GetVersionExW reports at most Windows 8 to a program without a
// compatibility manifest, so these ask RtlGetVersion, which does not lie.
struct TDLXSystemVersion {
  uint32_t Major = 0;
  uint32_t Minor = 0;
  uint32_t Build = 0;
};
const TDLXSystemVersion& SystemVersion();
bool IsWinVistaOrLater();  // 6.0
bool IsWin7OrLater();      // 6.1
bool IsWin10OrLater();     // 10.0

// The library's modal message box (MessageBoxW for now). With message boxes suppressed (an
// unattended run, tests) nothing is shown: the text goes to the log and the box answers at once
// with its safe default (see SafeMessageBoxResult).
int ShowErrorBox(HWND owner, const String& text, const String& caption, UINT flags);
void SetSuppressMessageBoxes(bool suppress);
bool MessageBoxesSuppressed();

// The answer of a box nobody can see: OK for a plain notice, otherwise the answer that stops
// (Cancel, Abort, No). Never Retry: an unattended retry loop would never end.
int SafeMessageBoxResult(UINT flags);

// A hidden message-only window of this module, its class registered on first use. Null when the
// window cannot be created (GetLastError tells why).
HWND CreateMessageOnlyWindow(const wchar_t* className, WNDPROC windowProc);

// Adds flags (SEM_FAILCRITICALERRORS) to the calling thread's error mode for its lifetime and
// restores the mode afterwards; other threads keep theirs. Before Windows 7, which has no
// per-thread mode, the process's mode is changed instead. The last error survives the restore.
class TThreadErrorMode {
 public:
  explicit TThreadErrorMode(UINT flags);
  ~TThreadErrorMode();
  TThreadErrorMode(const TThreadErrorMode&) = delete;
  TThreadErrorMode& operator=(const TThreadErrorMode&) = delete;

 private:
  DWORD previous_ = 0;
  bool perThread_ = false;
};

}  // namespace dlx

namespace dlx {

// An operation called in a state or on a thread where it cannot work.
class EDLXInvalidOperation : public EDLXException {
 public:
  using EDLXException::EDLXException;
};

}  // namespace dlx
