// Calls into the product's COM server libraries (the shell-menu libraries) without registering
// anything through the system: the library is loaded, its export is called, and it is unloaded.
#pragma once

#include <cstdint>

#include "lib/dlx_string.h"

class TInstallerActiveX {
 public:
  // Loads the library, calls the named export (a procedure without arguments) when it exists and
  // unloads the library. A missing library or export is skipped; nothing is reported but the
  // log. The library is loaded by its full path; what it imports is searched for in its own
  // folder and the system folder only (never the current folder, which stays as it is). While it
  // loads, the calling thread's critical-error boxes are off.
  // Returns whether the export was called.
  static bool CallExport(const dlx::String& libraryPath, const char* functionName);
  // The same on a thread of its own, waited for up to limitMs (INFINITE: no limit). A call still
  // running then raises EInstallerInstallError naming the library; the call is left to end with
  // the process, as a thread cannot be stopped safely.
  static bool CallExportWithin(const dlx::String& libraryPath, const char* functionName, uint32_t limitMs);
  // DllUnregisterServer within the run's limit (RunWaitLimitMs).
  static bool UnregisterServer(const dlx::String& libraryPath);
};
