// Which old backup archives of an installation go when a new one is written. Archives are named
// "z Before install <version> [yyyy.MM.dd hh-mm-ss].zip"; they are ordered by the version's
// numbers ("5.05" before "9.99" before "10.00"), then by the time stamp.
#pragma once

#include <vector>

#include "lib/dlx_string.h"

// The archives (full paths) to delete so that keepCount remain, counting the one just written
// (never deleted, whatever its version). Names not in the archives' own form are never deleted.
std::vector<dlx::String> ArchivesToPrune(const std::vector<dlx::String>& archives, const dlx::String& written,
                                         int keepCount);
