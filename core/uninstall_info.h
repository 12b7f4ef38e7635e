// What an installation leaves behind to be removed again: Uninstall.exe (a copy of the installer),
// Uninstall.dat (a package holding the uninstall log Uninstall.ini) and the entry in the list of
// installed programs. The log holds the user's choices (the installer's Settings) and, in section
// "Uninstall", the files to remove: "Count" and the keys "0".."Count-1", each a path relative to
// the installation folder or, outside it, a full path.
#pragma once

#include "lib/dlx_string.h"
#include "lib/ini_file.h"

inline constexpr char16_t kUninstallExeName[] = u"Uninstall.exe";
inline constexpr char16_t kUninstallDataName[] = u"Uninstall.dat";
inline constexpr char16_t kUninstallLogName[] = u"Uninstall.ini";
inline constexpr char16_t kUninstallSection[] = u"Uninstall";

// Appends one full path (already expanded: it is taken literally) to the log's "Uninstall"
// section; a path inside the installer's destination folder loses that folder prefix.
void AddUninstallLogEntry(dlx::TDLXIniFile& log, const dlx::String& fullPath);
