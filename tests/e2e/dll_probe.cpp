// Loads a library by its bare name the way any code of a program may, with or without the
// program's library-search hardening first, and tells where it came from.
//   dll_probe harden|plain <name.dll>
// Exit 0: loaded from the system's folder or as a built-in; 1: loaded from beside this program;
// 2: not loaded at all; 3: bad arguments.
#include <windows.h>

#include "lib/dlx_string.h"
#include "lib/file_system.h"
#include "lib/platform/text.h"
#include "lib/win/system_library.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 3;
  const dlx::String mode = dlx::FromW(argv[1]);
  if (mode == u"harden")
    dlx::HardenDllSearch();
  else if (mode != u"plain")
    return 3;
  HMODULE module = LoadLibraryW(argv[2]);
  if (!module) return 2;
  wchar_t path[MAX_PATH + 1] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  wchar_t self[MAX_PATH + 1] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const bool beside =
      dlx::SameText(dlx::ExtractFilePath(dlx::FromW(path)), dlx::ExtractFilePath(dlx::FromW(self)));
  return beside ? 1 : 0;
}
