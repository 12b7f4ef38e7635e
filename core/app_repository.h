// The product's entry in the Windows list of installed programs (the uninstall list under
// HKEY_LOCAL_MACHINE): written after an installation, removed by the uninstaller, and read to find
// where an earlier installation lives.
#pragma once

#include "lib/dlx_string.h"

class TInstallerApplicationRepository {
 public:
  // The key path of a product in the uninstall list.
  static dlx::String KeyPath(const dlx::String& name);

  // Writes the product's key (name as given, blanks included). False when the name is unusable
  // (blank, or holding a backslash, which would name another key) or the key cannot be opened,
  // created or written.
  static bool Register(const dlx::String& name, const dlx::String& uninstallerPath,
                       const dlx::String& homePage, const dlx::String& publisher, const dlx::String& version);
  // Removes the product's key with everything below it: the key as Register wrote it, and the
  // key without blanks that earlier versions of the installer left. True when a key was removed.
  static bool Unregister(const dlx::String& name);
  // The folder (with trailing backslash) of the product installed under that name: its
  // "InstallPath", else the folder of its "UninstallString", else of its "DisplayIcon". False,
  // never an exception, when the key is missing or none of them is an existing folder.
  static bool GetInstallPath(const dlx::String& name, dlx::String& folder);
  // True when the product's key names this very folder: its "InstallPath", or when that is empty
  // the folder of its "UninstallString" (quoted or not). Whether the folder exists does not
  // matter; a missing key belongs to no folder. Removals use it to leave another copy's key alone.
  static bool BelongsTo(const dlx::String& name, const dlx::String& folder);
};
