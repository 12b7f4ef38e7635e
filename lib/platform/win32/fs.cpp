// Win32 side of the file seam: every path goes through the long-path rewrite, and opening files
// and querying attributes run with critical-error dialogs ("insert a disk") suppressed.
#include "lib/platform/fs.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "lib/file_system.h"

namespace dlx::platform {

namespace {

// Paths this long or longer fail in the plain Win32 calls and need the "\\?\" form.
constexpr size_t kLongPath = 260;
// Folder creation leaves room for an 8.3 file name, so its plain limit is lower.
constexpr size_t kLongFolderPath = 248;

bool HasLongPrefix(const String& path) {
  return path.rfind(u"\\\\?\\", 0) == 0;
}

bool IsDelimiter(Char c) {
  return c == u'\\' || c == u'/';
}

// Whether the system's normalization matters for the path: it is relative (to a folder or to a
// drive's current folder) or has "." or ".." components.
bool NeedsFullPath(const String& path) {
  const bool absolute = (path.size() >= 3 && path[1] == u':' && IsDelimiter(path[2])) ||
                        (path.size() >= 2 && IsDelimiter(path[0]) && IsDelimiter(path[1]));
  if (!absolute) return true;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = start;
    while (end < path.size() && !IsDelimiter(path[end])) ++end;
    const size_t length = end - start;
    if ((length == 1 || length == 2) && path.compare(start, length, u"..", 0, length) == 0) return true;
    start = end + 1;
  }
  return false;
}

// The "\\?\" form turns off the system's own normalization, so a relative path or one with "."
// or ".." components is made absolute first. Other paths get the prefix as they are.
String ApiPath(const String& path, size_t limit = kLongPath) {
  if (path.size() < limit || HasLongPrefix(path)) return path;
  if (!NeedsFullPath(path)) return ApplyLongPathRule(path, 0);
  String full = path;
  const DWORD needed = ::GetFullPathNameW(W(path), 0, nullptr, nullptr);
  if (needed != 0) {
    std::vector<wchar_t> buffer(needed + 1);
    const DWORD n = ::GetFullPathNameW(W(path), needed + 1, buffer.data(), nullptr);
    if (n != 0 && n <= needed) full = FromW(buffer.data(), n);
  }
  return ApplyLongPathRule(full, 0);
}

// Undoes ApiPath's prefix on a path the system returned.
String StripLongPrefix(const String& original, const String& result) {
  if (HasLongPrefix(original)) return result;
  if (result.rfind(u"\\\\?\\UNC\\", 0) == 0) return u"\\\\" + result.substr(8);
  if (HasLongPrefix(result)) return result.substr(4);
  return result;
}

// Suppresses the system's critical-error dialogs for its lifetime, keeping the other error-mode
// flags, and leaves the thread's last error as the guarded call set it.
class CriticalErrorGuard {
 public:
  // Per thread where the system can (Windows 7 and later): the installer thread and the main
  // thread must not change each other's mode.
  CriticalErrorGuard() {
    if (const TSetThreadErrorMode call = ThreadCall(); call && call(SEM_FAILCRITICALERRORS, &previous_)) {
      call(previous_ | SEM_FAILCRITICALERRORS, nullptr);
      perThread_ = true;
      return;
    }
    previous_ = ::SetErrorMode(SEM_FAILCRITICALERRORS);
    ::SetErrorMode(previous_ | SEM_FAILCRITICALERRORS);
  }
  ~CriticalErrorGuard() {
    const DWORD error = ::GetLastError();
    if (perThread_)
      ThreadCall()(previous_, nullptr);
    else
      ::SetErrorMode(previous_);
    ::SetLastError(error);
  }
  CriticalErrorGuard(const CriticalErrorGuard&) = delete;
  CriticalErrorGuard& operator=(const CriticalErrorGuard&) = delete;

 private:
  using TSetThreadErrorMode = BOOL(WINAPI*)(DWORD, LPDWORD);
  // Looked up: Vista has no per-thread error mode.
  static TSetThreadErrorMode ThreadCall() {
    static const auto call = reinterpret_cast<TSetThreadErrorMode>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetThreadErrorMode")));
    return call;
  }
  DWORD previous_ = 0;
  bool perThread_ = false;
};

uint64_t FromFileTime(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

void Fill(FindData& data, const WIN32_FIND_DATAW& found) {
  data.name = FromW(found.cFileName);
  data.attributes = found.dwFileAttributes;
  data.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
  data.creationTime = FromFileTime(found.ftCreationTime);
  data.lastAccessTime = FromFileTime(found.ftLastAccessTime);
  data.lastWriteTime = FromFileTime(found.ftLastWriteTime);
}

HANDLE AsHandle(intptr_t value) {
  return reinterpret_cast<HANDLE>(value);
}

}  // namespace

uint32_t LastError() {
  return ::GetLastError();
}
void SetLastError(uint32_t code) {
  ::SetLastError(code);
}
uint32_t InvalidParameterError() {
  return ERROR_INVALID_PARAMETER;
}

String ErrorMessage(uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  String message;
  if (n != 0 && text) message = FromW(text, n);
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' || message.back() == u' '))
    message.pop_back();
  if (message.empty()) message = u"System error " + IntToStr(code);
  return message;
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    value_ = other.value_;
    other.value_ = kInvalid;
  }
  return *this;
}

FileHandle FileHandle::Open(const String& name, uint16_t mode, uint32_t flags) {
  DWORD access;
  DWORD share;
  DWORD disposition;
  if ((mode & 0xFF00) == 0xFF00) {
    access = GENERIC_READ | GENERIC_WRITE;
    share = 0;
    disposition = CREATE_ALWAYS;
  } else {
    static const DWORD kAccess[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    static const DWORD kShare[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE};
    const unsigned accessBits = mode & 3;
    const unsigned shareBits = (mode >> 4) & 0xF;
    if (accessBits == 3 || shareBits > 4 || (mode & 0xFF00) != 0) {
      ::SetLastError(ERROR_INVALID_PARAMETER);
      return FileHandle();
    }
    access = kAccess[accessBits];
    share = kShare[shareBits];
    disposition = OPEN_EXISTING;
  }
  CriticalErrorGuard guard;
  const HANDLE h = ::CreateFileW(W(ApiPath(name)), access, share, nullptr, disposition,
                                 flags | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return FileHandle();
  return FileHandle(reinterpret_cast<intptr_t>(h));
}

void FileHandle::Close() noexcept {
  if (value_ != kInvalid) {
    ::CloseHandle(AsHandle(value_));
    value_ = kInvalid;
  }
}

bool FileHandle::Read(void* buffer, size_t count, size_t& done) {
  done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < count) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(AsHandle(value_), out + done, want, &got, nullptr)) return false;
    if (got == 0) break;
    done += got;
  }
  return true;
}

bool FileHandle::Write(const void* buffer, size_t count, size_t& done) {
  done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (done < count) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
    DWORD put = 0;
    if (!::WriteFile(AsHandle(value_), in + done, want, &put, nullptr)) return false;
    if (put == 0) return false;
    done += put;
  }
  return true;
}

bool FileHandle::Seek(int64_t offset, SeekOrigin origin, int64_t& position) {
  const DWORD method = origin == kSeekBegin ? FILE_BEGIN : origin == kSeekCurrent ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER result;
  if (!::SetFilePointerEx(AsHandle(value_), distance, &result, method)) return false;
  position = result.QuadPart;
  return true;
}

bool FileHandle::Size(int64_t& size) {
  LARGE_INTEGER result;
  if (!::GetFileSizeEx(AsHandle(value_), &result)) return false;
  size = result.QuadPart;
  return true;
}

bool FileHandle::SetSize(int64_t size) {
  int64_t position = 0;
  if (!Seek(0, kSeekCurrent, position)) return false;
  int64_t ignored = 0;
  if (!Seek(size, kSeekBegin, ignored)) return false;
  const bool ok = ::SetEndOfFile(AsHandle(value_)) != 0;
  const DWORD error = ::GetLastError();
  Seek(position, kSeekBegin, ignored);
  ::SetLastError(error);
  return ok;
}

FindHandle::FindHandle(FindHandle&& other) noexcept : state_(other.state_) {
  other.state_ = nullptr;
}

FindHandle& FindHandle::operator=(FindHandle&& other) noexcept {
  if (this != &other) {
    Close();
    state_ = other.state_;
    other.state_ = nullptr;
  }
  return *this;
}

bool FindHandle::First(const String& folder, FindData& data) {
  Close();
  String pattern = folder;
  if (!pattern.empty() && pattern.back() != u'\\' && pattern.back() != u'/') pattern += u'\\';
  pattern += u'*';
  WIN32_FIND_DATAW found;
  CriticalErrorGuard guard;
  const HANDLE h = ::FindFirstFileW(W(ApiPath(pattern)), &found);
  if (h == INVALID_HANDLE_VALUE) return false;
  state_ = h;
  Fill(data, found);
  return true;
}

bool FindHandle::Next(FindData& data) {
  if (!state_) {
    ::SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  WIN32_FIND_DATAW found;
  if (!::FindNextFileW(static_cast<HANDLE>(state_), &found)) return false;
  Fill(data, found);
  return true;
}

bool FindHandle::Valid() const noexcept {
  return state_ != nullptr;
}

void FindHandle::Close() noexcept {
  if (state_) {
    ::FindClose(static_cast<HANDLE>(state_));
    state_ = nullptr;
  }
}

bool FindOne(const String& name, FindData& data) {
  WIN32_FIND_DATAW found;
  CriticalErrorGuard guard;
  const HANDLE h = ::FindFirstFileW(W(ApiPath(name)), &found);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::FindClose(h);
  Fill(data, found);
  return true;
}

uint32_t GetAttributes(const String& name) {
  CriticalErrorGuard guard;
  return ::GetFileAttributesW(W(ApiPath(name)));
}

bool SetAttributes(const String& name, uint32_t attributes) {
  CriticalErrorGuard guard;
  return ::SetFileAttributesW(W(ApiPath(name)), attributes) != 0;
}

bool GetSize(const String& name, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA info;
  CriticalErrorGuard guard;
  if (!::GetFileAttributesExW(W(ApiPath(name)), GetFileExInfoStandard, &info)) return false;
  size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return true;
}

bool CopyFile(const String& source, const String& target, bool failIfExists) {
  CriticalErrorGuard guard;
  return ::CopyFileW(W(ApiPath(source)), W(ApiPath(target)), failIfExists) != 0;
}

bool MoveFile(const String& source, const String& target) {
  CriticalErrorGuard guard;
  return ::MoveFileW(W(ApiPath(source)), W(ApiPath(target))) != 0;
}

bool DeleteFile(const String& name) {
  CriticalErrorGuard guard;
  return ::DeleteFileW(W(ApiPath(name))) != 0;
}

bool CreateDirectory(const String& path) {
  CriticalErrorGuard guard;
  return ::CreateDirectoryW(W(ApiPath(path, kLongFolderPath)), nullptr) != 0;
}

bool RemoveDirectory(const String& path) {
  CriticalErrorGuard guard;
  return ::RemoveDirectoryW(W(ApiPath(path))) != 0;
}

bool GetTempFolder(String& path) {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD n = ::GetTempPathW(MAX_PATH + 2, buffer);
  if (n == 0 || n > MAX_PATH + 1) return false;
  path = FromW(buffer, n);
  return true;
}

bool CreateTempFile(const String& folder, const String& prefix, String& name) {
  wchar_t buffer[MAX_PATH];
  CriticalErrorGuard guard;
  if (::GetTempFileNameW(W(folder), W(prefix), 0, buffer) == 0) return false;
  name = FromW(buffer);
  return true;
}

bool GetFullPath(const String& name, String& full) {
  const DWORD needed = ::GetFullPathNameW(W(name), 0, nullptr, nullptr);
  if (needed == 0) return false;
  std::vector<wchar_t> buffer(needed + 1);
  const DWORD n = ::GetFullPathNameW(W(name), needed + 1, buffer.data(), nullptr);
  if (n == 0 || n > needed) return false;
  full = FromW(buffer.data(), n);
  return true;
}

bool GetLongPath(const String& name, String& full) {
  const String path = ApiPath(name);
  CriticalErrorGuard guard;
  const DWORD needed = ::GetLongPathNameW(W(path), nullptr, 0);
  if (needed == 0) return false;
  std::vector<wchar_t> buffer(needed + 1);
  const DWORD n = ::GetLongPathNameW(W(path), buffer.data(), needed + 1);
  if (n == 0 || n > needed) return false;
  full = StripLongPrefix(name, FromW(buffer.data(), n));
  return true;
}

bool GetCurrentFolder(String& path) {
  const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return false;
  std::vector<wchar_t> buffer(needed + 1);
  const DWORD n = ::GetCurrentDirectoryW(needed + 1, buffer.data());
  if (n == 0 || n > needed) return false;
  path = FromW(buffer.data(), n);
  return true;
}

bool SetCurrentFolder(const String& path) {
  return ::SetCurrentDirectoryW(W(path)) != 0;
}

bool GetExecutableName(String& name) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return false;
    if (n < buffer.size()) {
      name = FromW(buffer.data(), n);
      return true;
    }
    if (buffer.size() >= 32768) return false;
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace dlx::platform
