// The run's journal on disk: what a rollback needs to bring the previous installation back, kept
// beside the backup archives while the run changes the installation, so that a run that is killed
// or loses power can be rolled back by the next one. One record per line, UTF-8, fields separated
// by tabs (tabs, line breaks and backslashes in a field escaped). A line is only a record once its
// line break is written: a line cut off by a crash is no record.
#pragma once

#include <string>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/win/handles.h"

using TJournalRecord = std::vector<dlx::String>;

class TJournalFile {
 public:
  // "<folder>!Backup\Setup.journal".
  static dlx::String PathFor(const dlx::String& dest);

  // Creates the file (replacing one that is there) with its first line. False, logged, when it
  // cannot be created.
  bool Create(const dlx::String& path);
  bool IsOpen() const { return handle_.Valid(); }
  // Writes the record; with flush, everything written so far is on the disk when it returns.
  // False when it could not be written.
  bool Append(const TJournalRecord& record, bool flush = true);
  // Takes on a file an earlier run left (to remove it once its rollback is done).
  void Adopt(const dlx::String& path) { path_ = path; }
  // Closes and deletes the file.
  void Remove();

  // The records of the file, its first line checked and left out; false when it is missing or not
  // a journal.
  static bool Read(const dlx::String& path, std::vector<TJournalRecord>& records);

  static std::string Encode(const TJournalRecord& record);
  static TJournalRecord Decode(const std::string& line);

 private:
  bool WriteLine(const std::string& line, bool flush);

  dlx::String path_;
  dlx::TScopedHandle handle_;
  std::string pending_;
};

// Bytes as lowercase hexadecimal digits and back (false for text that is not such digits).
dlx::String HexOf(const std::vector<uint8_t>& bytes);
bool BytesOfHex(const dlx::String& text, std::vector<uint8_t>& bytes);
