#include "core/file_utils.h"

#include <windows.h>

#include <vector>

#include "core/elevation.h"
#include "core/errors.h"
#include "core/pending_restart.h"
#include "core/texts.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/fs.h"
#include "lib/win/handles.h"
#include "lib/win/system.h"
#include "lib/win/thread.h"

using dlx::String;

namespace {

constexpr DWORD kInputIdleTimeoutMs = 5000;

String ErrorText(DWORD code) {
  return dlx::IntToStr(static_cast<int64_t>(code)) + u" " + dlx::platform::ErrorMessage(code);
}

}  // namespace

dlx::EDLXOSError OSErrorWithPaths(uint32_t code, const String& source, const String& target) {
  return dlx::EDLXOSError(code, SystemErrorMessage(code, source + u" -> " + target));
}

void DeleteFileOrSchedule(const String& path) {
  if (!dlx::FileExists(path)) return;
  dlx::SetFileAttributes(path, dlx::faNormal);
  if (dlx::DeleteFile(path)) {
    dlx::Log(u"Deleted \"" + path + u"\"");
    return;
  }
  const DWORD deleteError = dlx::platform::LastError();
  // In use: free the name now by moving the file aside, and let the next restart remove it. The
  // file is never scheduled where it stands, since a new file may be written under that name
  // before the restart.
  String parked;
  try {
    parked = dlx::GetTempFileName(u"delete");
  } catch (const dlx::EDLXException& e) {
    dlx::Log(u"Cannot delete \"" + path + u"\" (" + ErrorText(deleteError) +
             u"), and no temporary name for moving it aside: " + e.Message());
    return;
  }
  // The system created the name as an empty file; the move needs the name free.
  dlx::DeleteFile(parked);
  if (!dlx::MoveFile(path, parked)) {
    dlx::Log(u"Cannot delete \"" + path + u"\" (" + ErrorText(deleteError) + u") nor move it to \"" + parked +
             u"\" (" + ErrorText(dlx::platform::LastError()) + u"); it stays");
    return;
  }
  const bool scheduled =
      MoveFileExW(dlx::W(dlx::ApplyLongPathRule(parked)), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
  NoteRestartNeeded(path);
  dlx::Log(u"Cannot delete \"" + path + u"\" (" + ErrorText(deleteError) + u"); moved to \"" + parked +
           u"\"" +
           (scheduled ? String(u", deleted at the next restart")
                      : u", not scheduled for deletion (" + ErrorText(GetLastError()) + u")"));
}

uint32_t RunWaitLimitMs() {
  return dlx::MessageBoxesSuppressed() ? kUnattendedWaitLimitMs : INFINITE;
}

bool ExecuteAndWait(const String& program, const String& arguments) {
  return ExecuteAndWait(program, arguments, RunWaitLimitMs());
}

bool ExecuteAndWait(const String& program, const String& arguments, uint32_t limitMs) {
  // The program is named on its own and quoted on the command line, so a path with blanks
  // ("C:\Program Files\...") can never start "C:\Program.exe" instead.
  const String commandLine = u"\"" + program + u"\"" + (arguments.empty() ? String() : u" " + arguments);
  dlx::Log(u"Starting process: " + commandLine);
  // The command line must be writable for CreateProcessW.
  std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOW;
  PROCESS_INFORMATION info{};
  // No handle of this elevated process is passed on to the child.
  if (!CreateProcessW(dlx::W(program), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    dlx::Log(u"Cannot start process (" + ErrorText(GetLastError()) + u"): " + commandLine);
    return false;
  }
  dlx::TScopedHandle process(info.hProcess);
  dlx::TScopedHandle thread(info.hThread);
  // A program without a message loop (a console program) answers at once with a failure; it is
  // waited for like any other.
  if (WaitForInputIdle(process.Get(), kInputIdleTimeoutMs) == WAIT_TIMEOUT) {
    dlx::Log(u"Process not ready for input after 5 s, not waited for: " + commandLine);
    return true;
  }
  if (!dlx::WaitWithMessages(process.Get(), limitMs)) {
    const String seconds = dlx::IntToStr(static_cast<int64_t>(limitMs / 1000));
    dlx::Log(u"Process still running after " + seconds + u" s, ended: " + commandLine);
    TerminateProcess(process.Get(), ERROR_TIMEOUT);
    WaitForSingleObject(process.Get(), 5000);
    throw EInstallerInstallError(CommonText(u"E9", {program, seconds}));
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.Get(), &exitCode);
  dlx::Log(u"Process ended with code " + dlx::IntToStr(static_cast<int64_t>(exitCode)) + u": " + commandLine);
  return true;
}
