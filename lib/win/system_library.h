// Protection against planted libraries. A setup runs elevated from a downloads folder, and the
// uninstaller from the temporary folder: any library the loader finds beside the executable or in
// the current folder would run with administrator rights. The program therefore restricts the
// default search to the system folder before anything else, imports statically only libraries the
// system always takes from its own folder (KnownDLLs), and loads every other system library at
// run time through LoadSystemLibrary.
#pragma once

#include <windows.h>

#include "lib/dlx_string.h"

namespace dlx {

// Limits the library search of this process to the system folder (SetDefaultDllDirectories with
// LOAD_LIBRARY_SEARCH_SYSTEM32) and takes the current folder out of the search. The program's
// first statement. False on a system without that call (Vista and 7 without their update): the
// current folder is still removed and LoadSystemLibrary still loads from the system folder only.
bool HardenDllSearch();

// Loads a system library by file name ("uxtheme.dll") from the system folder only; null when it
// is not there.
HMODULE LoadSystemLibrary(const String& fileName);

// The system folder with a trailing backslash.
String SystemFolder();

}  // namespace dlx
