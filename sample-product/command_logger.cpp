// Stand-in for the product's helper programs that the installer starts with switches (the
// integration program Registrar.exe and the add-ons installer). It records how it was called:
// its full command line, as UTF-8 plus CR LF, appended to "<program base name>.log" beside the
// program itself, whatever the current folder is. It opens no window.
#include <windows.h>

#include <string>

namespace {

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // truncated: a long path
  }
}

std::wstring LogPathFor(const std::wstring& program) {
  const size_t name_start = program.find_last_of(L"\\/:") + 1;  // npos + 1 == 0
  const size_t dot = program.rfind(L'.');
  std::wstring base = (dot != std::wstring::npos && dot >= name_start) ? program.substr(0, dot) : program;
  return base + L".log";
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                 nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                      nullptr);
  return out;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Touch the message queue first: a caller that waits for input idleness before waiting for
  // the process end then sees this process as ready at once and goes on to wait for its end.
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);

  const std::wstring program = ModulePath();
  if (program.empty()) return 1;

  std::string line = ToUtf8(GetCommandLineW());
  line += "\r\n";

  // FILE_APPEND_DATA makes each write land at the end even when several copies run at once.
  HANDLE file = CreateFileW(LogPathFor(program).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == line.size() ? 0 : 1;
}
