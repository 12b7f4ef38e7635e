// The program's one log: a process-wide UTF-8 text file, off until a file name is given (the
// /LOG=<file> switch). Every entry is one line with a UTC timestamp, the process and thread ids,
// and is flushed at once, so a crash loses nothing that was logged before it. Safe to call from
// any thread; when the log is closed, logging costs one atomic load.
#pragma once

#include <string_view>

#include "lib/dlx_string.h"

namespace dlx {

class TDLXLog {
 public:
  // Opens (or reopens) the log, appending to an existing file so that a relaunched process
  // (elevation, the uninstaller's copy in the temporary folder) continues the same log.
  // False when the file cannot be opened; the log then stays closed.
  static bool Open(const String& fileName);
  static void Close();
  static bool IsOpen();
  static String FileName();

  // One entry. Line breaks inside the text are written as " | " so an entry stays one line.
  static void Write(StringView text);
  static void Write(std::string_view utf8Text);
};

// Shorthands for the common case.
inline void Log(StringView text) {
  TDLXLog::Write(text);
}
inline void Log(std::string_view utf8Text) {
  TDLXLog::Write(utf8Text);
}

}  // namespace dlx
