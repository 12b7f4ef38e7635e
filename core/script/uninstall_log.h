// Reading the list of files an uninstall log names: the section's "Count" and its keys "0" to
// "Count" - 1, each a path relative to the installation folder or a full path.
#pragma once

#include <vector>

#include "lib/dlx_string.h"
#include "lib/ini_file.h"

// The entries in number order, each number once (with the first line that names it, as a lookup
// of the key would find it); keys that are not numbers below "Count" in their plain decimal form
// are left out, so that a tampered "Count" cannot make a reader count to two billion. One pass
// over the section's lines: a log of a million files is read in seconds.
std::vector<dlx::String> UninstallLogEntries(dlx::TDLXIniFile& log, dlx::StringView section);
