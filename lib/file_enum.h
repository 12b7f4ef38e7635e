// Folder listing with the library's filter: "." and "..", and every entry with the system
// attribute, are never listed (so system files are never copied or deleted by the helpers built
// on it); an entry's type must be in the type mask, and a file must match the extension list when
// there is one.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "lib/dlx_string.h"
#include "lib/platform/fs.h"
#include "lib/string_list.h"

namespace dlx {

enum TDLXFileType { ftFile = 0, ftFolder = 1 };

// Type masks: bit 0 files, bit 1 folders.
constexpr uint32_t tmFiles = 1;
constexpr uint32_t tmFolders = 2;
constexpr uint32_t tmAll = tmFiles | tmFolders;

struct TDLXFindFileInfo {
  String Name;
  TDLXFileType Type = ftFile;
  String Folder;  // the folder being listed, with a trailing delimiter
  platform::FindData FindData;
  String Extensions;  // "*.exe;*.dll;", or empty for every file
  platform::FindHandle Handle;
  uint32_t TypeMask = tmAll;

  String FullPath() const { return Folder + Name; }
};

// Lists folder + "*"; false (with the listing closed) when no entry passes the filter.
bool FindFirst(const String& folder, StringView extensions, uint32_t typeMask, TDLXFindFileInfo& info);
// The next entry that passes the filter; false, with the listing closed, at the end.
bool FindNext(TDLXFindFileInfo& info);
void FindClose(TDLXFindFileInfo& info);

using TDLXFileReceiver = std::function<void(const String& path)>;

// Calls receiver with the full path of each entry that passes the filter (folders with a trailing
// delimiter). With recursive, every subfolder is enumerated first (linked folders are not
// followed), then the folder's own entries.
void EnumFiles(const String& folder, StringView extensions, uint32_t typeMask, bool recursive,
               const TDLXFileReceiver& receiver);

// Files only, no recursion: the full paths are appended to list.
void EnumFiles(const String& folder, StringView extensions, TDLXStringList& list);

// A recursive file search. Files matching the extension list go to the receiver as soon as they
// are found; subfolders are searched after the folder's files, in logical order (file2 before
// file10). The folder event runs before a folder is entered and may refuse it. The receiver or
// the event may end the search quietly by raising EDLXAbort; any other exception passes through.
class TDLXSearch {
 public:
  // folder, allow (true unless the handler refuses)
  using TFolderEvent = std::function<void(const String& folder, bool& allow)>;

  TDLXSearch(const String& folder, StringView extensions, TDLXFileReceiver receiver);

  // Searches from the start folder; with recursive off only the start folder itself.
  void Start(bool recursive = true);
  // Ends the search at the next entry; may be called from the receiver or the folder event.
  void Stop() noexcept { running_ = false; }
  bool Running() const noexcept { return running_; }

  const String& Folder() const noexcept { return folder_; }
  const String& Extensions() const noexcept { return extensions_; }

  TFolderEvent OnFolder;

 private:
  void Search(const String& folder);

  String folder_;
  String extensions_;
  TDLXFileReceiver receiver_;
  bool recursive_ = true;
  std::atomic<bool> running_{false};
};

}  // namespace dlx
