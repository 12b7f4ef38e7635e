#include "core/file_utils.h"

// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include <atomic>
#include <mutex>
#include <vector>

#include "core/code_trust.h"
#include "core/elevation.h"
#include "core/entry.h"
#include "core/errors.h"
#include "core/paths.h"
#include "core/pending_restart.h"
#include "core/resources.h"
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

String AdminTempFolder() {
  wchar_t windows[MAX_PATH + 1] = {};
  const UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH + 1);
  if (length > 0 && length <= MAX_PATH) {
    const String temp = dlx::IncludeTrailingPathDelimiter(dlx::FromW(windows, length)) + u"Temp\\";
    if (dlx::DirectoryExists(temp)) return temp;
  }
  return dlx::IncludeTrailingPathDelimiter(GetSpecialFolder(CSIDL_COMMON_APPDATA));
}

String ParkingName() {
  static std::mutex lock;
  static String folder;
  static std::atomic<int> counter{0};
  {
    std::lock_guard<std::mutex> guard(lock);
    if (folder.empty()) {
      folder = CreatePrivateFolder(AdminTempFolder());
      // Goes at the next restart even when nothing could be moved into it.
      MoveFileExW(dlx::W(dlx::ExcludeTrailingPathDelimiter(folder)), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
  }
  return folder + u"delete" + dlx::IntToStr(static_cast<int64_t>(++counter)) + u".tmp";
}

bool DeleteParkedAtRestart(const String& parked) {
  if (!MoveFileExW(dlx::W(dlx::ApplyLongPathRule(parked)), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
    return false;
  // The folder after its files: restart operations run in the order they were made.
  MoveFileExW(dlx::W(dlx::ExcludeTrailingPathDelimiter(dlx::ExtractFilePath(parked))), nullptr,
              MOVEFILE_DELAY_UNTIL_REBOOT);
  return true;
}

bool CancelDeleteAtRestart(const String& path) {
  const String target = CanonicalPath(path);
  dlx::TRegistryKey key;
  if (target.empty() || !key.Open(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                  KEY_QUERY_VALUE | KEY_SET_VALUE))
    return false;
  const wchar_t* const name = L"PendingFileRenameOperations";
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_MULTI_SZ)
    return false;
  std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
      ERROR_SUCCESS)
    return false;
  // Pairs of strings: what to move and where to ("" deletes it).
  std::vector<String> strings;
  for (size_t i = 0; i < size / sizeof(wchar_t);) {
    const String text = dlx::FromW(data.data() + i);
    strings.push_back(text);
    i += text.size() + 1;
  }
  while (!strings.empty() && strings.back().empty() && strings.size() % 2 == 1) strings.pop_back();
  std::vector<wchar_t> kept;
  bool removed = false;
  for (size_t i = 0; i + 1 < strings.size(); i += 2) {
    String source = strings[i];
    for (const char16_t* prefix : {u"\\??\\", u"\\\\?\\"})
      if (source.rfind(prefix, 0) == 0) source = source.substr(4);
    if (strings[i + 1].empty() && SamePath(CanonicalPath(source), target)) {
      removed = true;
      continue;
    }
    for (size_t j = i; j <= i + 1; ++j) {
      kept.insert(kept.end(), strings[j].begin(), strings[j].end());
      kept.push_back(L'\0');
    }
  }
  if (!removed) return false;
  kept.push_back(L'\0');
  if (kept.size() == 1)
    RegDeleteValueW(key.Get(), name);
  else
    RegSetValueExW(key.Get(), name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(kept.data()),
                   static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
  dlx::Log(u"No longer deleted at the next restart: \"" + target + u"\"");
  return true;
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
    parked = ParkingName();
  } catch (const dlx::EDLXException& e) {
    dlx::Log(u"Cannot delete \"" + path + u"\" (" + ErrorText(deleteError) +
             u"), and no folder for moving it aside: " + e.Message());
    return;
  }
  if (!dlx::MoveFile(path, parked)) {
    dlx::Log(u"Cannot delete \"" + path + u"\" (" + ErrorText(deleteError) + u") nor move it to \"" + parked +
             u"\" (" + ErrorText(dlx::platform::LastError()) + u"); it stays");
    return;
  }
  const bool scheduled = DeleteParkedAtRestart(parked);
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
  // A program that a standard user could have replaced, or planted a library beside, is never
  // started by this elevated process.
  if (dlx::FileExists(program) && !MayRunElevated(program, u"started")) return false;
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
