/* Stand-in for the product's shell context-menu library. A real one registers a COM shell
 * extension; this one only leaves a trace of each registration call beside itself, so an
 * installer test can see that the library was loaded and the export was called.
 *
 * Plain C with no C runtime calls: the same file is compiled for both pointer sizes, the
 * foreign one with the other MinGW compiler straight from the command line. */
#include <windows.h>

static HMODULE self_module;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    self_module = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

/* Appends one line naming the call to "<library base name>.<call>.marker" beside the library.
 * Answers S_OK when the line was written, otherwise an HRESULT of the Win32 error. */
static HRESULT LeaveMarker(const wchar_t* call) {
  wchar_t path[MAX_PATH + 64];
  DWORD length = GetModuleFileNameW(self_module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;

  /* Cut the extension of the file-name part, if it has one. */
  DWORD cut = length;
  for (DWORD i = length; i > 0; --i) {
    if (path[i - 1] == L'\\' || path[i - 1] == L'/') break;
    if (path[i - 1] == L'.') {
      cut = i - 1;
      break;
    }
  }
  const wchar_t* suffix[] = {L".", call, L".marker"};
  DWORD pos = cut;
  for (int part = 0; part < 3; ++part) {
    for (const wchar_t* c = suffix[part]; *c; ++c) {
      if (pos + 1 >= sizeof(path) / sizeof(path[0])) return E_FAIL;
      path[pos++] = *c;
    }
  }
  path[pos] = 0;

  char line[64];
  int used = WideCharToMultiByte(CP_UTF8, 0, call, -1, line, (int)sizeof(line) - 2, NULL, NULL);
  if (used <= 0) return E_FAIL;
  used -= 1; /* the terminator */
  line[used++] = '\r';
  line[used++] = '\n';

  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
  DWORD written = 0;
  BOOL ok = WriteFile(file, line, (DWORD)used, &written, NULL) && written == (DWORD)used;
  DWORD error = GetLastError();
  CloseHandle(file);
  return ok ? S_OK : HRESULT_FROM_WIN32(error);
}

__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) {
  return LeaveMarker(L"DllRegisterServer");
}

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) {
  return LeaveMarker(L"DllUnregisterServer");
}
