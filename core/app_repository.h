// The product's entry in the Windows list of installed programs (the uninstall list under
// HKEY_LOCAL_MACHINE): written after an installation, removed by the uninstaller, and read to find
// where an earlier installation lives.
#pragma once

#include <cstdint>

#include "lib/dlx_string.h"

class TInstallerApplicationRepository {
 public:
  // The key path of a product in the uninstall list.
  static dlx::String KeyPath(const dlx::String& name);

  // Writes the product's key (name as given, blanks included). False when the name is unusable
  // (blank, or holding a backslash, which would name another key) or the key cannot be opened,
  // created or written. Beside what Programs and Features shows, the key holds what deployment
  // tools read: the folder as "InstallLocation", the uninstaller quoted as "UninstallString" and
  // with its unattended switches as "QuietUninstallString", the size, and the version's first
  // two numbers as "VersionMajor" and "VersionMinor".
  static bool Register(const dlx::String& name, const dlx::String& uninstallerPath,
                       const dlx::String& homePage, const dlx::String& publisher, const dlx::String& version,
                       uint32_t estimatedSizeKiB = 0);
  // Removes the product's key with everything below it: the key as Register wrote it, and the
  // key without blanks that earlier versions of the installer left. True when a key was removed.
  static bool Unregister(const dlx::String& name);
  // The folder (with trailing backslash) of the product installed under that name: its
  // "InstallPath", else the folder of its "UninstallString" (quoted or, as older installers wrote
  // it, not), else of its "DisplayIcon". False, never an exception, when the key is missing or
  // none of them is an existing folder.
  static bool GetInstallPath(const dlx::String& name, dlx::String& folder);
  // True when the product's key names this very folder: its "InstallPath", or when that is empty
  // the folder of its "UninstallString" (quoted or not). Whether the folder exists does not
  // matter; a missing key belongs to no folder. Removals use it to leave another copy's key alone.
  static bool BelongsTo(const dlx::String& name, const dlx::String& folder);

  // The command lines the key holds for an uninstaller: the program quoted, since a folder with
  // blanks would otherwise let whoever runs the text start "C:\Tools\Media.exe" first; the quiet
  // one adds the switches of an unattended removal without any window or message box.
  static dlx::String UninstallCommand(const dlx::String& uninstallerPath);
  static dlx::String QuietUninstallCommand(const dlx::String& uninstallerPath);
  // The program of an "UninstallString": the quoted part when it starts with a quote, else the
  // whole text (an unquoted path may hold blanks, so nothing is split off).
  static dlx::String ProgramOfCommand(const dlx::String& command);
  // The first two numbers of a version text ("5.05.0.1207" gives 5 and 5); 0 where one is missing.
  static void SplitVersion(const dlx::String& version, uint32_t& major, uint32_t& minor);
};
