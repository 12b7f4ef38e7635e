// The run's log as the command line asks for it (/LOG=<file>), and the lines that tell what the
// command line held that the program does not use.
#pragma once

#include <vector>

#include "lib/dlx_string.h"

// Opens the run log when the arguments carry /LOG=<file>, appending to the file and creating the
// folders it lies in. Returns whether a log was opened (false without /LOG). A log that was asked
// for and cannot be written raises EInstallerGeneralError naming the file and the reason, so that
// the caller can stop before doing anything: whoever asked for a log gets one or a failure.
bool OpenLogFromCommandLine(const dlx::String& args);

// One line per argument the program does not use: unknown switches, values that belong to no
// switch (the rest of an unquoted folder with a blank), values of switches that take none, and
// repeated switches (the first one counts).
std::vector<dlx::String> IgnoredArguments(const dlx::String& args);

// Writes IgnoredArguments to the log.
void LogIgnoredArguments(const dlx::String& args);
