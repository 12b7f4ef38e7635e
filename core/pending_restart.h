// Whether this process left work that only the next restart of Windows finishes: a file of the
// product that was in use and was renamed aside, or scheduled for replacement or deletion at
// restart. The run then ends with its own exit code, so that whoever deployed it (a management
// agent, a package manager) can plan the restart; the run never restarts the machine itself.
#pragma once

#include "lib/dlx_string.h"

// Records that the file (a full path) was in use and is left for the restart; callable from any
// thread. A file excused below records nothing.
void NoteRestartNeeded(const dlx::String& path);
bool RestartNeeded();
// A file that is in use only until this run has ended, by a process that ends with it: the
// installed Uninstall.exe, which the uninstaller's bootstrap runs from while it waits for its copy.
// Moving it aside leaves nothing unfinished that a restart would have to complete.
void ExcuseInUse(const dlx::String& path);
// A new installer object starts with no need recorded and no file excused.
void ClearRestartNeeded();
