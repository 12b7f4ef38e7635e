#include "core/elevation.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "core/errors.h"
#include "core/installer.h"
#include "core/spawn_service.h"
#include "lib/command_line.h"
#include "lib/exceptions.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/fs.h"
#include "lib/win/handles.h"
#include "lib/win/thread.h"

using dlx::String;

String SystemErrorMessage(unsigned long code, const String& detail) {
  // The detail (a path) on a line of its own: the system's text does not end with a separator.
  return FormatText(u"System Error.  Code: %d.\r\n%s%s",
                    {dlx::IntToStr(static_cast<int64_t>(code)), dlx::platform::ErrorMessage(code),
                     detail.empty() ? String() : u"\r\n" + detail});
}

int RelaunchElevated(const String& args, const String& program) {
  TInstallerSpawnService::Initialize(0);
  const String file = program.empty() ? dlx::GetExeName() : program;
  const String parameters =
      dlx::FormatSwitch(u"SKIPUAC", reinterpret_cast<intptr_t>(TInstallerSpawnService::Handle()),
                        dlx::FormatSwitch(u"SPAWNTOKEN", TInstallerSpawnService::RequestToken(), args));
  const String directory = dlx::GetCurrentDir();

  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOZONECHECKS;
  info.lpVerb = L"runas";
  info.lpFile = dlx::W(file);
  info.lpParameters = dlx::W(parameters);
  info.lpDirectory = dlx::W(directory);
  info.nShow = SW_SHOWNORMAL;
  // The token stays out of the log: the log file is readable by the user's other programs.
  dlx::Log(u"Elevation: starting \"" + file + u"\" " + args);
  if (!ShellExecuteExW(&info)) {
    const DWORD code = GetLastError();
    if (code == ERROR_CANCELLED) {
      dlx::Log(u"Elevation declined by the user");
      return InstallerExitCancelled;
    }
    throw dlx::EDLXOSError(code, SystemErrorMessage(code, String()));
  }
  // Without a process handle (the shell handed the start to something else) there is nothing to
  // wait for and no exit code to pass on.
  if (!info.hProcess) {
    dlx::Log(u"Elevation: the shell returned no process to wait for");
    return InstallerExitSuccess;
  }
  dlx::TScopedHandle process(info.hProcess);
  TInstallerSpawnService::TrustProcess(GetProcessId(process.Get()));
  // The spawn window receives its requests during this wait.
  dlx::WaitWithMessages(process.Get(), INFINITE);
  DWORD exitCode = InstallerExitFailed;
  if (!GetExitCodeProcess(process.Get(), &exitCode)) exitCode = InstallerExitFailed;
  dlx::Log(u"Elevation: the elevated process ended with exit code " + dlx::IntToStr(exitCode));
  return static_cast<int>(exitCode);
}
