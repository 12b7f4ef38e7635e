// The backup archive of an installation: a ZIP file with Deflate entries whose names are UTF-8
// (general-purpose flag bit 11) with "/" between components, each carrying the file's times
// (the DOS time and, exactly, an NTFS time field) and its attributes. Written through minizip,
// proven by reading every entry back, and read again to restore a failed update.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/exceptions.h"
#include "lib/string_list.h"

// Deflate level of the backup: the fastest, since an update waits for the backup and most of a
// media player's bulk (audio, pictures) does not compress anyway.
inline constexpr int kBackupCompressionLevel = 1;

// What was read from a source file while it was archived.
struct TBackupEntryRecord {
  dlx::String SourcePath;
  dlx::String EntryName;  // as given (either separator)
  uint64_t Size = 0;
  uint32_t Crc = 0;
};

// One file to back up and the name of its entry.
struct TBackupItem {
  dlx::String SourcePath;
  dlx::String EntryName;
};

// A file that could not be added: the system's code, and which item it was.
class EBackupItemError : public dlx::EDLXOSError {
 public:
  EBackupItemError(const dlx::EDLXOSError& error, size_t index)
      : dlx::EDLXOSError(error.Code(), error.Message()), Index(index) {}
  size_t Index;
};

// The name as stored: UTF-8, "\" turned into "/", no leading separator.
std::string ZipEntryName(dlx::StringView name);

class TBackupArchiveWriter {
 public:
  // Creates (or replaces) the archive; raises EDLXOSError when it cannot be created.
  explicit TBackupArchiveWriter(const dlx::String& fileName);
  // Closes the archive: the entries written so far stay readable.
  ~TBackupArchiveWriter();
  TBackupArchiveWriter(const TBackupArchiveWriter&) = delete;
  TBackupArchiveWriter& operator=(const TBackupArchiveWriter&) = delete;

  // Adds the file, read with other readers allowed only, as one Deflate entry. Raises EDLXOSError
  // (with the system's code) when the file cannot be read or the entry cannot be written.
  TBackupEntryRecord Add(const dlx::String& sourcePath, const dlx::String& entryName);
  // Adds the items in order, as Add does, while other processors read and compress the smaller
  // files ahead; onAdded runs on the calling thread after each entry. Raises EBackupItemError.
  std::vector<TBackupEntryRecord> AddAll(const std::vector<TBackupItem>& items,
                                         const std::function<void(size_t index)>& onAdded);
  // Writes the central directory; raises EDLXOSError when that fails.
  void Close();

 private:
  bool OpenEntry(const dlx::String& entryName, const BY_HANDLE_FILE_INFORMATION& info, bool raw);

  void* zip_ = nullptr;
  dlx::String fileName_;
};

// Opens the archive again and reads every entry: the entries must be exactly the records, in
// order, each with the record's name, the UTF-8 flag, Deflate, the record's size and CRC-32 in
// the directory, and data that inflates to that size and CRC-32. Raises EInstallerBackupError
// naming the first entry that differs.
void VerifyBackupArchive(const dlx::String& fileName, const std::vector<TBackupEntryRecord>& records);

// The folder a restored file must be written through, and whether no link may lie on the way to
// it (Exact) or only the folder itself must be none.
struct TRestoreRoot {
  dlx::String Folder;
  bool Exact = false;
};
using TRestoreRootOf = std::function<TRestoreRoot(const dlx::String& path)>;

// Writes every entry of the archive back to the path that target gives for its name (names with
// "/" or "\" alike; an empty path skips the entry), creating folders, replacing files (read-only
// ones too), and restoring the entry's times and attributes. Every folder and file is made and
// written through handles confined to the root that rootOf names for it (without one: the drive's
// root, with no link on the way); a link in the way fails that entry. Failures are appended to
// failures (one line each) and the rest goes on. Returns the number of files restored.
int RestoreBackupArchive(const dlx::String& fileName,
                         const std::function<dlx::String(const dlx::String&)>& target,
                         dlx::TDLXStringList& failures, const TRestoreRootOf& rootOf = nullptr);
