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

}  // namespace dlx
