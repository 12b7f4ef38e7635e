// Calls into the product's COM server libraries (the shell-menu libraries) without registering
// anything through the system: the library is loaded, its export is called, and it is unloaded.
#pragma once

#include "lib/dlx_string.h"

class TInstallerActiveX {
 public:
  // Loads the library, calls the named export (a procedure without arguments) when it exists and
  // unloads the library. A missing library or export is skipped; nothing is reported but the
  // log. While the library loads, the system's critical-error boxes are off and the library's
  // folder is the current folder, so that libraries beside it are found; both are restored.
  // Returns whether the export was called.
  static bool CallExport(const dlx::String& libraryPath, const char* functionName);
  static bool UnregisterServer(const dlx::String& libraryPath);
};
