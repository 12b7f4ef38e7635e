// Shell link files (.lnk) through the shell's IShellLinkW. Each call initializes COM on the
// calling thread for its own duration, so the installer's worker thread can use them directly.
#pragma once

#include "lib/dlx_string.h"

// The target path stored in the link file; false when the file cannot be read as a shell link.
bool ReadShellLinkTarget(const dlx::String& linkPath, dlx::String& target);

// Writes a link file whose only property is the target path (no arguments, working folder, icon,
// description or hot key), replacing a file at linkPath. False when a shell call fails (logged).
bool WriteShellLink(const dlx::String& linkPath, const dlx::String& target);
