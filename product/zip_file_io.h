// The file functions minizip reads and writes archives through: Win32 files with Unicode (and
// long) names and a 1 MiB buffer, so that an archive of thousands of small entries costs few
// system calls (minizip itself asks for a few bytes or kilobytes at a time).
#pragma once

extern "C" {
#include "ioapi.h"
}

// Fills the function table; minizip then takes the file name as a wchar_t path.
void FillBufferedFileFunctions(zlib_filefunc64_def& functions);
