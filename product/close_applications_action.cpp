#include "product/close_applications_action.h"

#include <algorithm>

#include "core/errors.h"
#include "core/installer.h"
#include "core/texts.h"
#include "lib/log.h"
#include "lib/win/system.h"
#include "product/product_names.h"

using dlx::String;

namespace {
constexpr DWORD kSendLimitMs = 5000;
}  // namespace

std::vector<String> TInstallerActionCloseApplications::WindowClasses() {
  return {zuva_names::kWindowClasses.begin(), zuva_names::kWindowClasses.end()};
}

void TInstallerActionCloseApplications::Execute() {
  ReportStatus(GetCommonText(u"A8"));
  const std::vector<String> classes = WindowClasses();
  // Nobody can close a window in a run without message boxes, so such a run must not wait forever.
  const bool limited = dlx::MessageBoxesSuppressed();
  const ULONGLONG start = GetTickCount64();
  for (int pass = 1;; ++pass) {
    std::vector<HWND> windows;
    String found;
    for (const String& windowClass : classes) {
      if (HWND window = FindWindowW(dlx::W(windowClass), nullptr)) {
        windows.push_back(window);
        found += (found.empty() ? u"" : u", ") + windowClass;
      }
    }
    const ULONGLONG elapsed = GetTickCount64() - start;
    if (limited && !windows.empty() && elapsed >= UnattendedLimitMs()) {
      dlx::Log(u"Closing running programs, pass " + dlx::IntToStr(pass) + u": still open after " +
               dlx::IntToStr(static_cast<int64_t>(elapsed / 1000)) + u" s: " + found);
      throw EInstallerInstallError(
          CommonText(u"E7", {found, dlx::IntToStr(static_cast<int64_t>(UnattendedLimitMs() / 1000))}));
    }
    for (HWND window : windows) {
      // A hung window would block a plain send for good, and with it a cancel the user confirmed:
      // each send waits a bounded time (in an unattended run, never past the overall limit).
      DWORD limit = kSendLimitMs;
      if (limited) limit = static_cast<DWORD>(std::min<ULONGLONG>(limit, UnattendedLimitMs() - elapsed));
      DWORD_PTR result = 0;
      if (!SendMessageTimeoutW(window, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                               std::max<DWORD>(limit, 1), &result))
        dlx::Log(u"A window did not answer the request to close within " +
                 dlx::IntToStr(static_cast<int64_t>(limit / 1000)) + u" s");
    }
    dlx::Log(u"Closing running programs, pass " + dlx::IntToStr(pass) + u": " +
             (found.empty() ? String(u"no window found") : u"asked to close " + found));
    Sleep(PassPauseMs());
    if (windows.empty()) return;
    // A player that never closes must not keep a person from cancelling the setup.
    if (StopRequested()) return;
  }
}
