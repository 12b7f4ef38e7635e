// POSIX side of the file seam (see lib/platform/fs.h for the mapping of paths and attributes).
#include "lib/platform/fs.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace dlx::platform {

namespace {

std::string Native(const String& path) {
  std::string out = ToUtf8(path);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

String FromNative(const std::string& path) {
  return FromUtf8(path);
}

// Seconds and nanoseconds since 1970 to 100-ns units since 1601.
uint64_t ToFileTime(const struct timespec& t) {
  constexpr int64_t kEpochDifference = 11644473600LL;
  const int64_t seconds = static_cast<int64_t>(t.tv_sec) + kEpochDifference;
  if (seconds < 0) return 0;
  return static_cast<uint64_t>(seconds) * 10000000ULL + static_cast<uint64_t>(t.tv_nsec) / 100;
}

uint32_t AttributesOf(const std::string& baseName, const struct stat& st, bool isLink) {
  uint32_t attributes = 0;
  if (S_ISDIR(st.st_mode)) attributes |= kAttrDirectory;
  if (!S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR) == 0) attributes |= kAttrReadOnly;
  if (baseName.size() > 1 && baseName[0] == '.' && baseName != "..") attributes |= kAttrHidden;
  if (isLink) attributes |= kAttrReparsePoint;
  if (attributes == 0) attributes = kAttrNormal;
  return attributes;
}

std::string BaseName(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  const size_t slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

// stat that follows links, falling back to the link itself when it dangles.
bool StatEntry(const std::string& path, struct stat& st, bool& isLink) {
  struct stat lst;
  if (::lstat(path.c_str(), &lst) != 0) return false;
  isLink = S_ISLNK(lst.st_mode);
  if (isLink && ::stat(path.c_str(), &st) == 0) return true;
  st = lst;
  return true;
}

void Fill(FindData& data, const std::string& name, const struct stat& st, bool isLink) {
  data.name = FromNative(name);
  data.attributes = AttributesOf(name, st, isLink);
  data.size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  data.creationTime = ToFileTime(st.st_ctim);
  data.lastAccessTime = ToFileTime(st.st_atim);
  data.lastWriteTime = ToFileTime(st.st_mtim);
}

struct FindState {
  DIR* dir = nullptr;
  std::string folder;  // with trailing '/'
};

bool ReadEntry(FindState& state, FindData& data) {
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(state.dir);
    if (!entry) {
      if (errno == 0) errno = ENOENT;
      return false;
    }
    const std::string name = entry->d_name;
    struct stat st;
    bool isLink = false;
    // An entry removed between listing and query is skipped.
    if (!StatEntry(state.folder + name, st, isLink)) continue;
    Fill(data, name, st, isLink);
    return true;
  }
}

bool CopyContent(int from, int to) {
  std::vector<char> buffer(256 * 1024);
  for (;;) {
    const ssize_t got = ::read(from, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    ssize_t written = 0;
    while (written < got) {
      const ssize_t n = ::write(to, buffer.data() + written, static_cast<size_t>(got - written));
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      written += n;
    }
  }
}

}  // namespace

uint32_t LastError() {
  return static_cast<uint32_t>(errno);
}
void SetLastError(uint32_t code) {
  errno = static_cast<int>(code);
}
uint32_t InvalidParameterError() {
  return EINVAL;
}

String ErrorMessage(uint32_t code) {
  char buffer[256] = {};
  // The GNU form returns the text, which may or may not be the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
  const char* text = ::strerror_r(static_cast<int>(code), buffer, sizeof buffer);
#else
  const char* text = ::strerror_r(static_cast<int>(code), buffer, sizeof buffer) == 0 ? buffer : "";
#endif
  return FromUtf8(text ? text : "");
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    value_ = other.value_;
    other.value_ = kInvalid;
  }
  return *this;
}

// Sharing has no counterpart in POSIX (locks are advisory), so the sharing bits are checked for
// validity and otherwise ignored.
FileHandle FileHandle::Open(const String& name, uint16_t mode, uint32_t flags) {
  int oflags = O_CLOEXEC;
  if ((mode & 0xFF00) == 0xFF00) {
    oflags |= O_RDWR | O_CREAT | O_TRUNC;
  } else {
    const unsigned access = mode & 3;
    const unsigned share = (mode >> 4) & 0xF;
    if (access == 3 || share > 4 || (mode & 0xFF00) != 0) {
      errno = EINVAL;
      return FileHandle();
    }
    oflags |= access == 0 ? O_RDONLY : access == 1 ? O_WRONLY : O_RDWR;
  }
  const std::string path = Native(name);
  if (path.empty()) {
    errno = ENOENT;
    return FileHandle();
  }
  int fd;
  do {
    fd = ::open(path.c_str(), oflags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return FileHandle();
  struct stat st;
  const bool statOk = ::fstat(fd, &st) == 0;
  if (!statOk || S_ISDIR(st.st_mode)) {
    const int error = statOk ? EISDIR : errno;
    ::close(fd);
    errno = error;
    return FileHandle();
  }
  return FileHandle(fd);
}

void FileHandle::Close() noexcept {
  if (value_ != kInvalid) {
    ::close(static_cast<int>(value_));
    value_ = kInvalid;
  }
}

bool FileHandle::Read(void* buffer, size_t count, size_t& done) {
  done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < count) {
    const ssize_t n = ::read(static_cast<int>(value_), out + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool FileHandle::Write(const void* buffer, size_t count, size_t& done) {
  done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (done < count) {
    const ssize_t n = ::write(static_cast<int>(value_), in + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool FileHandle::Seek(int64_t offset, SeekOrigin origin, int64_t& position) {
  const int whence = origin == kSeekBegin ? SEEK_SET : origin == kSeekCurrent ? SEEK_CUR : SEEK_END;
  const off_t result = ::lseek(static_cast<int>(value_), static_cast<off_t>(offset), whence);
  if (result < 0) return false;
  position = static_cast<int64_t>(result);
  return true;
}

bool FileHandle::Size(int64_t& size) {
  struct stat st;
  if (::fstat(static_cast<int>(value_), &st) != 0) return false;
  size = static_cast<int64_t>(st.st_size);
  return true;
}

bool FileHandle::SetSize(int64_t size) {
  if (size < 0) {
    errno = EINVAL;
    return false;
  }
  return ::ftruncate(static_cast<int>(value_), static_cast<off_t>(size)) == 0;
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
  std::string dir = Native(folder);
  if (dir.empty()) {
    dir = "./";
  } else if (dir.back() != '/') {
    dir.push_back('/');
  }
  auto state = new FindState;
  state->folder = std::move(dir);
  state->dir = ::opendir(state->folder.c_str());
  if (!state->dir) {
    delete state;
    return false;
  }
  state_ = state;
  if (!ReadEntry(*state, data)) {
    const int error = errno;
    Close();
    errno = error;
    return false;
  }
  return true;
}

bool FindHandle::Next(FindData& data) {
  if (!state_) {
    errno = EBADF;
    return false;
  }
  return ReadEntry(*static_cast<FindState*>(state_), data);
}

bool FindHandle::Valid() const noexcept {
  return state_ != nullptr;
}

void FindHandle::Close() noexcept {
  if (state_) {
    auto* state = static_cast<FindState*>(state_);
    ::closedir(state->dir);
    delete state;
    state_ = nullptr;
  }
}

bool FindOne(const String& name, FindData& data) {
  const std::string path = Native(name);
  // Wildcards are not expanded here: callers look up one known name.
  struct stat st;
  bool isLink = false;
  if (path.empty() || !StatEntry(path, st, isLink)) return false;
  Fill(data, BaseName(path), st, isLink);
  return true;
}

uint32_t GetAttributes(const String& name) {
  const std::string path = Native(name);
  struct stat st;
  bool isLink = false;
  if (path.empty()) {
    errno = ENOENT;
    return kInvalidAttributes;
  }
  if (!StatEntry(path, st, isLink)) return kInvalidAttributes;
  return AttributesOf(BaseName(path), st, isLink);
}

// Only the read-only bit has a counterpart: it clears or restores the write permissions.
bool SetAttributes(const String& name, uint32_t attributes) {
  const std::string path = Native(name);
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) return true;
  mode_t mode = st.st_mode & 07777;
  if (attributes & kAttrReadOnly) {
    mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  return ::chmod(path.c_str(), mode) == 0;
}

bool GetSize(const String& name, uint64_t& size) {
  struct stat st;
  if (::stat(Native(name).c_str(), &st) != 0) return false;
  size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
  return true;
}

bool CopyFile(const String& source, const String& target, bool failIfExists) {
  const std::string from = Native(source);
  const std::string to = Native(target);
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st;
  const bool statOk = ::fstat(in, &st) == 0;
  if (!statOk || S_ISDIR(st.st_mode)) {
    const int error = statOk ? EISDIR : errno;
    ::close(in);
    errno = error;
    return false;
  }
  // Copying a file onto itself would truncate it before reading.
  struct stat tst;
  if (::stat(to.c_str(), &tst) == 0 && tst.st_dev == st.st_dev && tst.st_ino == st.st_ino) {
    ::close(in);
    errno = failIfExists ? EEXIST : EINVAL;
    return false;
  }
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (failIfExists ? O_EXCL : O_TRUNC),
                         st.st_mode & 0777);
  if (out < 0) {
    const int error = errno;
    ::close(in);
    errno = error;
    return false;
  }
  bool ok = CopyContent(in, out);
  int error = errno;
  // Like the Windows copy, the target keeps the source's modification time.
  if (ok) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out, times);
  }
  if (::close(out) != 0 && ok) {
    ok = false;
    error = errno;
  }
  ::close(in);
  if (!ok) {
    ::unlink(to.c_str());
    errno = error;
  }
  return ok;
}

bool MoveFile(const String& source, const String& target) {
  const std::string from = Native(source);
  const std::string to = Native(target);
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != EXDEV) return false;
#endif
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) return false;
  if (::lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return false;
  }
  if (errno != ENOENT) return false;
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  // Across file systems a file is copied and then removed, as the Windows move does.
  if (errno != EXDEV || S_ISDIR(st.st_mode)) return false;
  if (!CopyFile(source, target, true)) return false;
  return ::unlink(from.c_str()) == 0;
}

// Like the Windows call: a folder or a read-only file is not deleted.
bool DeleteFile(const String& name) {
  const std::string path = Native(name);
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return false;
  if (S_ISDIR(st.st_mode)) {
    errno = EISDIR;
    return false;
  }
  if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0) {
    errno = EACCES;
    return false;
  }
  return ::unlink(path.c_str()) == 0;
}

bool CreateDirectory(const String& path) {
  return ::mkdir(Native(path).c_str(), 0777) == 0;
}

// A symbolic link to a folder is removed as a link, never through it.
bool RemoveDirectory(const String& path) {
  std::string native = Native(path);
  while (native.size() > 1 && native.back() == '/') native.pop_back();
  struct stat st;
  if (::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    struct stat target;
    if (::stat(native.c_str(), &target) != 0 || !S_ISDIR(target.st_mode)) {
      errno = ENOTDIR;
      return false;
    }
    return ::unlink(native.c_str()) == 0;
  }
  return ::rmdir(native.c_str()) == 0;
}

bool GetTempFolder(String& path) {
  const char* dir = ::getenv("TMPDIR");
  std::string folder = dir && *dir ? dir : "/tmp";
  struct stat st;
  if (::stat(folder.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  if (folder.back() != '/') folder += '/';
  path = FromNative(folder);
  return true;
}

bool CreateTempFile(const String& folder, const String& prefix, String& name) {
  std::string pattern = Native(folder);
  if (!pattern.empty() && pattern.back() != '/') pattern += '/';
  pattern += ToUtf8(prefix.substr(0, 3));
  pattern += "XXXXXX.tmp";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkstemps(buffer.data(), 4);
  if (fd < 0) return false;
  ::close(fd);
  name = FromNative(buffer.data());
  return true;
}

bool GetFullPath(const String& name, String& full) {
  std::string path = Native(name);
  if (path.empty()) {
    errno = EINVAL;
    return false;
  }
  if (path[0] != '/') {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return false;
    path = std::string(cwd) + "/" + path;
  }
  const bool trailing = path.back() == '/';
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string out;
  for (const auto& part : parts) out += "/" + part;
  if (out.empty() || trailing) out += "/";
  full = FromNative(out);
  return true;
}

bool GetLongPath(const String& name, String& full) {
  struct stat st;
  if (::lstat(Native(name).c_str(), &st) != 0) return false;
  full = name;
  return true;
}

bool GetCurrentFolder(String& path) {
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) return false;
  path = FromNative(cwd);
  return true;
}

bool SetCurrentFolder(const String& path) {
  return ::chdir(Native(path).c_str()) == 0;
}

bool GetExecutableName(String& name) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n < 0) return false;
  name = FromNative(std::string(buffer, static_cast<size_t>(n)));
  return true;
}

}  // namespace dlx::platform
