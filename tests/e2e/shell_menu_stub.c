/* Stands in for one of the product's shell-menu libraries: DllRegisterServer sets the value named
   after the library's file in HKCU\Software\ZUVA Test to the library's path, DllUnregisterServer
   deletes it, so a test sees whether the library is registered. */
#include <windows.h>

static HINSTANCE self;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) self = instance;
  return TRUE;
}

static const wchar_t* FileName(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p; ++p)
    if (*p == L'\\') name = p + 1;
  return name;
}

__declspec(dllexport) HRESULT WINAPI DllRegisterServer(void) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\ZUVA Test", 0, NULL, 0, KEY_SET_VALUE, NULL, &key, NULL))
    return E_FAIL;
  LONG result = RegSetValueExW(key, FileName(path), 0, REG_SZ, (const BYTE*)path,
                               (DWORD)((lstrlenW(path) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result ? E_FAIL : S_OK;
}

__declspec(dllexport) HRESULT WINAPI DllUnregisterServer(void) {
  wchar_t path[MAX_PATH];
  DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return E_FAIL;
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\ZUVA Test", 0, KEY_SET_VALUE, &key)) return S_OK;
  RegDeleteValueW(key, FileName(path));
  RegCloseKey(key);
  return S_OK;
}
