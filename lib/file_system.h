// Path strings and file-system helpers. The path helpers are pure string work; the file-system
// helpers never raise (except GetTempPath and GetTempFileName) and report failure as false, -1,
// 0 or an empty string, leaving the platform's last error as the platform set it. Folder paths
// carry a trailing '\'; both '\' and '/' are accepted as delimiters.
#pragma once

#include <cstdint>

#include "lib/dlx_string.h"
#include "lib/platform/fs.h"

namespace dlx {

// Paths of this length or more get the long-path prefix before they reach the Windows API.
constexpr size_t kLongPathLimit = 260;

// The long-path rewrite: a path of limit characters or more that starts with two backslashes
// becomes "\\?\UNC\" + the path without them; any other gets "\\?\" in front. Its '/' become
// '\' (the prefixed form is taken literally by the system). Shorter paths and paths that already
// carry the prefix are returned unchanged.
String ApplyLongPathRule(StringView path, size_t limit = kLongPathLimit);

bool IsPathDelimiter(Char c);

// --- Path strings ---------------------------------------------------------------------------

// The path with a trailing delimiter ('\' is added unless it ends with '\' or '/'); "" stays "".
String IncludeTrailingPathDelimiter(StringView path);
String ExcludeTrailingPathDelimiter(StringView path);
// Everything up to and including the last '\', '/' or ':'.
String ExtractFilePath(StringView name);
// Everything after the last '\', '/' or ':'.
String ExtractFileName(StringView name);
// The extension with its dot, or "". With twoParts, a double extension ("tar" then "gz") is taken
// as one. For a name starting with a scheme ("http://"), a query part from the last '?' on is not
// searched.
String ExtractFileExt(StringView name, bool twoParts = false);
// The name with its extension replaced by extension, or extension appended when there is none.
String ChangeFileExt(StringView name, StringView extension, bool twoParts = false);
String ExtractFileNameWithoutExt(StringView name);
// "C:" for a drive path; "\\server" for a network path; the drive of the rest after "\\?\";
// otherwise "".
String ExtractFileDrive(StringView name);
// The last count components of a path, without the delimiters around them.
String ExtractLastPathParts(StringView path, int count);
// A valid file name: '"' becomes '\'', each of \ < > * : ? | / becomes replacement (or is dropped
// when replacement is 0), control characters (below 32) are dropped; leading spaces and trailing spaces and dots are removed (the first
// character always stays); at most 255 characters.
String ValidateFileName(StringView name, Char replacement = 0);
// The drive part kept, every other component passed through ValidateFileName with no
// replacement, empty components dropped, joined with '\'; a rooted path stays rooted; a trailing
// '\' only when the input had a trailing delimiter.
String ValidateFilePath(StringView path);
// extensions is a list of items "*<ext>;", for example "*.exe;*.dll;". Case is ignored.
bool IsExtensionInList(StringView extensions, StringView extension);

// --- File system ----------------------------------------------------------------------------

constexpr uint32_t faReadOnly = 0x0001;
constexpr uint32_t faHidden = 0x0002;
constexpr uint32_t faSystem = 0x0004;
constexpr uint32_t faDirectory = 0x0010;
constexpr uint32_t faArchive = 0x0020;
constexpr uint32_t faNormal = 0x0080;
constexpr uint32_t faReparsePoint = 0x0400;

bool FileExists(const String& name);
bool DirectoryExists(const String& path);
// The attributes, or -1.
int64_t GetFileAttributes(const String& name);
bool SetFileAttributes(const String& name, uint32_t attributes);
// The size from the attribute query, else from a find query; 0 when both fail.
int64_t FileSize(const String& name);
inline int64_t GetFileSize(const String& name) {
  return FileSize(name);
}

bool CopyFile(const String& source, const String& target, bool failIfExists);
// Never replaces an existing target.
bool MoveFile(const String& source, const String& target);
bool DeleteFile(const String& name);
bool RemoveDirectory(const String& path);
bool CreateDirectory(const String& path);
// Creates every missing folder of the path.
bool ForceDirectories(const String& path);
// Deletes the folder's files (and with recursive its subfolders) and then the folder; stops at
// the first failure. False when the folder itself could not be removed. System files are never
// touched, and a linked folder (junction, symbolic link) is removed as a link, never emptied.
bool DeleteDirectory(const String& path, bool recursive);
// Copies the files of source matching extensions ("" for all) into target, overwriting, and with
// recursive its subfolders. Stops at the first failure. Copying a folder into itself is refused.
bool CopyDirectory(const String& source, const String& target, StringView extensions, bool recursive);
// Makes a name with ".\" (or "./") absolute and expands short (8.3) components of a name with '~'.
String ExpandFileName(const String& name);

// The temporary folder with a trailing delimiter; raises EDLXOSError when it cannot be read.
String GetTempPath();
// A new, empty, uniquely named file in the temporary folder; raises EDLXOSError on failure.
String GetTempFileName(const String& prefix);
// The current folder with a trailing delimiter ("" on failure).
String GetCurrentDir();
bool SetCurrentDir(const String& path);
// The running program's full file name, and its folder with a trailing delimiter.
String GetExeName();
String GetExePath();

}  // namespace dlx
