// The operating-system seam for files and folders. The portable library calls only these
// functions; lib/platform/win32/fs.cpp implements them with the Win32 API and
// lib/platform/posix/fs.cpp with POSIX calls.
//
// Paths: the portable code builds paths with '\' separators. The Win32 side passes them on after
// the long-path rewrite (paths of 260 characters or more get the "\\?\" or "\\?\UNC\" prefix) and
// runs file opening and attribute queries with critical-error dialogs suppressed. The POSIX side
// maps every '\' to '/' (so a Linux file name cannot contain a backslash); paths it returns (temp
// folder, current folder, executable name) use '/', which the path helpers accept as a delimiter.
//
// Attributes use the Windows bit values. On POSIX: a folder is kAttrDirectory; a file without the
// owner's write permission is kAttrReadOnly; a name starting with '.' is kAttrHidden; a symbolic
// link is kAttrReparsePoint; the system attribute never occurs; a plain file is kAttrNormal.
//
// Failures are reported as false (or an invalid handle) and leave the platform's error code for
// LastError(), as the platform set it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lib/dlx_string.h"

#ifdef _WIN32
// Included here so that the macros below stay undefined whichever header a file includes first;
// Windows-only code calls the explicit ...W functions.
#include <windows.h>
#undef CopyFile
#undef MoveFile
#undef DeleteFile
#undef RemoveDirectory
#undef CreateDirectory
#undef GetTempPath
#undef GetTempFileName
#undef GetFileAttributes
#undef SetFileAttributes
#endif

namespace dlx::platform {

constexpr uint32_t kAttrReadOnly = 0x0001;
constexpr uint32_t kAttrHidden = 0x0002;
constexpr uint32_t kAttrSystem = 0x0004;
constexpr uint32_t kAttrDirectory = 0x0010;
constexpr uint32_t kAttrArchive = 0x0020;
constexpr uint32_t kAttrNormal = 0x0080;
constexpr uint32_t kAttrReparsePoint = 0x0400;
constexpr uint32_t kInvalidAttributes = 0xFFFFFFFFu;

// The calling thread's last error code (GetLastError / errno) and its message text, without
// trailing line breaks.
uint32_t LastError();
void SetLastError(uint32_t code);
String ErrorMessage(uint32_t code);
// The error code for "invalid parameter" on this platform.
uint32_t InvalidParameterError();

enum SeekOrigin { kSeekBegin, kSeekCurrent, kSeekEnd };

// An open file. Movable, closes itself.
class FileHandle {
 public:
  FileHandle() = default;
  ~FileHandle() { Close(); }
  FileHandle(FileHandle&& other) noexcept : value_(other.value_) { other.value_ = kInvalid; }
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  // Opens or creates a file. mode is the traditional 16-bit file-mode value: a high byte of 0xFF
  // creates or truncates the file for reading and writing with no sharing; otherwise an existing
  // file is opened with access from bits 0-1 (0 read, 1 write, 2 both) and sharing from bits 4-7
  // (0 or 1 none, 2 read, 3 write, 4 read and write). flags are extra platform attribute flags
  // (combined with the normal-file attribute on Windows, ignored on POSIX). Folders never open.
  static FileHandle Open(const String& name, uint16_t mode, uint32_t flags);

  bool Valid() const noexcept { return value_ != kInvalid; }
  void Close() noexcept;

  // Reads or writes up to count bytes; done is what was transferred. False on a platform error.
  bool Read(void* buffer, size_t count, size_t& done);
  bool Write(const void* buffer, size_t count, size_t& done);
  bool Seek(int64_t offset, SeekOrigin origin, int64_t& position);
  bool Size(int64_t& size);
  // Sets the end of the file; the file position is left where it was.
  bool SetSize(int64_t size);

 private:
  static constexpr intptr_t kInvalid = -1;
  explicit FileHandle(intptr_t value) : value_(value) {}
  intptr_t value_ = kInvalid;
};

// One entry of a folder listing.
struct FindData {
  String name;
  uint32_t attributes = 0;
  uint64_t size = 0;
  // Times in 100-nanosecond units since 1601-01-01 UTC (the Windows file-time scale).
  uint64_t creationTime = 0;
  uint64_t lastAccessTime = 0;
  uint64_t lastWriteTime = 0;
};

// An open folder listing. Movable, closes itself. The listing includes "." and ".." where the
// platform reports them; callers filter.
class FindHandle {
 public:
  FindHandle() = default;
  ~FindHandle() { Close(); }
  FindHandle(FindHandle&& other) noexcept;
  FindHandle& operator=(FindHandle&& other) noexcept;
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;

  // Starts listing the folder (with or without a trailing delimiter) and fills the first entry.
  bool First(const String& folder, FindData& data);
  bool Next(FindData& data);
  bool Valid() const noexcept;
  void Close() noexcept;

 private:
  void* state_ = nullptr;
};

// Looks up one entry by its path (the platform's find query for a single name).
bool FindOne(const String& name, FindData& data);

// kInvalidAttributes on failure.
uint32_t GetAttributes(const String& name);
bool SetAttributes(const String& name, uint32_t attributes);
// The size of a file from the attribute query.
bool GetSize(const String& name, uint64_t& size);

bool CopyFile(const String& source, const String& target, bool failIfExists);
// Moves or renames a file or folder; never replaces an existing target.
bool MoveFile(const String& source, const String& target);
bool DeleteFile(const String& name);
bool CreateDirectory(const String& path);
bool RemoveDirectory(const String& path);

// The temporary folder, with a trailing delimiter.
bool GetTempFolder(String& path);
// Creates a new, empty, uniquely named file in folder; the name starts with up to three
// characters of prefix.
bool CreateTempFile(const String& folder, const String& prefix, String& name);

// The absolute form of a path, resolving "." and ".." (a string operation, no file access).
bool GetFullPath(const String& name, String& full);
// The path with short (8.3) components replaced by their long names. On POSIX there are no short
// names: the path is returned as it is when it exists.
bool GetLongPath(const String& name, String& full);

bool GetCurrentFolder(String& path);
bool SetCurrentFolder(const String& path);
// The full file name of the running program.
bool GetExecutableName(String& name);

}  // namespace dlx::platform
