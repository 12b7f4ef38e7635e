// The elevation stub: a process without administrator rights starts itself again through the
// elevation prompt and stays behind as the spawn partner of the elevated process.
#pragma once

#include "lib/dlx_string.h"

// Starts program (the running module when empty) elevated, with /SKIPUAC=<spawn window> and
// /SPAWNTOKEN=<the window's request token> in front of args, and waits for it while serving spawn requests.
// Returns the elevated process's exit code, or InstallerExitCancelled when the user declined the prompt. Any
// other failure to start raises EDLXOSError ("System Error.  Code: ..."). Initializes the spawn service with
// a window of this process; the caller finalizes it.
int RelaunchElevated(const dlx::String& args, const dlx::String& program = dlx::String());

// The system's text for an error code, and the engine's form of a failed system call:
// "System Error.  Code: <code>.\r\n<system text>\r\n<detail>" (no second line break without a
// detail).
dlx::String SystemErrorMessage(unsigned long code, const dlx::String& detail);
