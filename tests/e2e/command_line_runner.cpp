// Starts a program with the command line held by the environment variable ZUVA_COMMAND_LINE,
// exactly as written there, waits for it and returns its exit code (120: no command line, 121: the
// program did not start). Wine builds a program's command line from Unix arguments with quotes and
// backslash escapes of its own; this lets the end-to-end test write a command line the way a
// person types it at a Windows prompt, /AUTO="C:\My Apps\ZUVA" included.
#include <windows.h>

#include <string>

#include "lib/win/handles.h"

int wmain() {
  const DWORD size = GetEnvironmentVariableW(L"ZUVA_COMMAND_LINE", nullptr, 0);
  if (size == 0) return 120;
  std::wstring line(size, L'\0');
  line.resize(GetEnvironmentVariableW(L"ZUVA_COMMAND_LINE", line.data(), size));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 121;
  dlx::TScopedHandle processHandle(process.hProcess), threadHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 121;
  GetExitCodeProcess(process.hProcess, &code);
  return static_cast<int>(code);
}
