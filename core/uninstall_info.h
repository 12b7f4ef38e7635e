// What an installation leaves behind to be removed again: Uninstall.exe (the setup program built
// without the product, which the setup carries), Uninstall.dat (a package holding the uninstall
// log Uninstall.ini) and the entry in the list of installed programs. The log holds the user's
// choices (the installer's Settings) and, in section "Uninstall", the files to remove: "Count" and
// the keys "0".."Count-1", each a path relative to the installation folder or, outside it, a full
// path.
#pragma once

#include <windows.h>

#include "lib/dlx_string.h"
#include "lib/ini_file.h"

inline constexpr char16_t kUninstallExeName[] = u"Uninstall.exe";
inline constexpr char16_t kUninstallDataName[] = u"Uninstall.dat";
inline constexpr char16_t kUninstallLogName[] = u"Uninstall.ini";
inline constexpr char16_t kUninstallSection[] = u"Uninstall";
// The setup's RT_RCDATA resource holding its uninstaller: a package whose one entry is
// Uninstall.exe, the program built from the same sources without the product package.
inline constexpr char16_t kUninstallerResourceName[] = u"UNINSTALLER";

// Appends one full path (already expanded: it is taken literally) to the log's "Uninstall"
// section; a path inside the installer's destination folder loses that folder prefix.
void AddUninstallLogEntry(dlx::TDLXIniFile& log, const dlx::String& fullPath);

// Writes the uninstaller program to target: the image the module carries as UNINSTALLER, byte for
// byte (a signature stays valid), or, from a module without one, a copy of the running program.
// Returns where it came from, for the log. A damaged image raises EInstallerInstallError naming
// target; a file that cannot be written, EDLXOSError with the system's reason.
dlx::String WriteUninstallerProgram(HMODULE module, const dlx::String& target);
