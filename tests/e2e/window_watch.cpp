// Watches for windows, as an administrator watches a deployment that must stay invisible:
// window_watch.exe <report file> <stop marker>. Takes the visible top-level windows of the moment as
// the baseline, writes "<report file>.ready", and then appends one line "class<TAB>title<TAB>process"
// (UTF-8) for every other window that becomes visible, until the stop marker exists or ten minutes
// have passed. Exits 0, or 2 for a wrong command line.
#include <windows.h>

#include <set>
#include <string>

namespace {

std::set<HWND> gSeen;
HANDLE gReport = INVALID_HANDLE_VALUE;

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? static_cast<size_t>(size - 1) : 0, '\0');
  if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
  return out;
}

BOOL CALLBACK Visit(HWND window, LPARAM reporting) {
  if (!IsWindowVisible(window) || !gSeen.insert(window).second || !reporting) return TRUE;
  wchar_t windowClass[256] = L"", title[256] = L"";
  GetClassNameW(window, windowClass, 256);
  GetWindowTextW(window, title, 256);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  const std::string line = Utf8(windowClass) + "\t" + Utf8(title) + "\t" +
                           std::to_string(static_cast<unsigned long>(process)) + "\r\n";
  DWORD written = 0;
  WriteFile(gReport, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  gReport = CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (gReport == INVALID_HANDLE_VALUE) return 2;
  EnumWindows(&Visit, 0);
  const std::wstring ready = std::wstring(argv[1]) + L".ready";
  HANDLE marker = CreateFileW(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (marker != INVALID_HANDLE_VALUE) CloseHandle(marker);
  for (int i = 0; i < 30000 && GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i) {
    EnumWindows(&Visit, 1);
    Sleep(20);
  }
  EnumWindows(&Visit, 1);
  CloseHandle(gReport);
  return 0;
}
