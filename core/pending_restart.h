// Whether this process left work that only the next restart of Windows finishes: a file of the
// product that was in use and was renamed aside, or scheduled for replacement or deletion at
// restart. The run then ends with its own exit code, so that whoever deployed it (a management
// agent, a package manager) can plan the restart; the run never restarts the machine itself.
#pragma once

#include "lib/dlx_string.h"

// Records the need (callable from any thread); the reason goes to the log.
void NoteRestartNeeded(const dlx::String& reason);
bool RestartNeeded();
// A new installer object starts with no need recorded.
void ClearRestartNeeded();
