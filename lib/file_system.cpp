#include "lib/file_system.h"

#include <algorithm>

#include "lib/exceptions.h"
#include "lib/file_enum.h"
#include "lib/platform/fs.h"
#include "lib/platform/text.h"

namespace dlx {

namespace {

constexpr StringView kLongPrefix = u"\\\\?\\";
constexpr StringView kLongUncPrefix = u"\\\\?\\UNC\\";

bool StartsWith(StringView text, StringView prefix) {
  return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

bool IsAsciiLetter(Char c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool IsAsciiAlnum(Char c) {
  return IsAsciiLetter(c) || (c >= u'0' && c <= u'9');
}

// Index of the last delimiter ('\', '/' or ':'), or npos.
size_t LastDelimiter(StringView name) {
  for (size_t i = name.size(); i-- > 0;)
    if (IsPathDelimiter(name[i]) || name[i] == u':') return i;
  return StringView::npos;
}

// "http://", "file:\\": ASCII letters and digits, ':' and two equal slashes or backslashes.
bool StartsWithScheme(StringView name) {
  size_t i = 0;
  while (i < name.size() && IsAsciiAlnum(name[i])) ++i;
  return i > 0 && i + 2 < name.size() && name[i] == u':' && IsPathDelimiter(name[i + 1]) &&
         name[i + 2] == name[i + 1];
}

bool EndsExtensionSearch(Char c) {
  return c == u' ' || c == u'.' || c == u'\\' || c == u'/' || c == u':';
}

// The extension occupies [start, end); start == end when there is none. end is the end of the
// searched part (before a URL's query).
void FindExtension(StringView name, bool twoParts, size_t& start, size_t& end) {
  end = name.size();
  if (StartsWithScheme(name)) {
    const size_t query = name.rfind(u'?');
    if (query != StringView::npos) end = query;
  }
  start = end;
  size_t i = end;
  while (i > 0 && !EndsExtensionSearch(name[i - 1])) --i;
  if (i == 0 || name[i - 1] != u'.') return;
  start = i - 1;
  if (!twoParts) return;
  size_t j = start;
  while (j > 0 && !EndsExtensionSearch(name[j - 1])) --j;
  if (j > 0 && name[j - 1] == u'.') start = j - 1;
}

// Length of the drive part as it stands in the text: "C:", "\\server", "\\?\" plus the drive of
// the rest.
size_t DrivePrefixLength(StringView name) {
  if (StartsWith(name, kLongPrefix)) return kLongPrefix.size() + DrivePrefixLength(name.substr(4));
  if (name.size() >= 2 && name[1] == u':' && IsAsciiLetter(name[0])) return 2;
  if (name.size() >= 2 && IsPathDelimiter(name[0]) && IsPathDelimiter(name[1])) {
    size_t i = 2;
    while (i < name.size() && !IsPathDelimiter(name[i])) ++i;
    return i;
  }
  return 0;
}

bool ContainsDotDelimiter(StringView name) {
  return name.find(u".\\") != StringView::npos || name.find(u"./") != StringView::npos;
}

bool IsLinkedFolder(const TDLXFindFileInfo& info) {
  return info.Type == ftFolder && (info.FindData.attributes & faReparsePoint) != 0;
}

[[noreturn]] void RaiseLastError() {
  const uint32_t code = platform::LastError();
  throw EDLXOSError(code, platform::ErrorMessage(code));
}

bool ForceDirectoriesImpl(const String& path) {
  const String dir = ExcludeTrailingPathDelimiter(path);
  if (dir.empty()) return false;
  if (DirectoryExists(dir)) return true;
  const String parent = ExcludeTrailingPathDelimiter(ExtractFilePath(dir));
  // A root or a drive that does not exist: nothing further up can be created.
  if (parent.empty() || parent.size() >= dir.size()) return platform::CreateDirectory(dir);
  if (!ForceDirectoriesImpl(parent)) return false;
  // Someone else may create the folder meanwhile; that is success too.
  return platform::CreateDirectory(dir) || DirectoryExists(dir);
}

}  // namespace

bool IsPathDelimiter(Char c) {
  return c == u'\\' || c == u'/';
}

String ApplyLongPathRule(StringView path, size_t limit) {
  if (path.size() < limit || StartsWith(path, kLongPrefix)) return String(path);
  String p(path);
  std::replace(p.begin(), p.end(), u'/', u'\\');
  if (StartsWith(p, u"\\\\")) return String(kLongUncPrefix) + p.substr(2);
  return String(kLongPrefix) + p;
}

String IncludeTrailingPathDelimiter(StringView path) {
  String result(path);
  if (!result.empty() && !IsPathDelimiter(result.back())) result += u'\\';
  return result;
}

// Removes trailing delimiters, but a path made of delimiters only keeps its first one.
String ExcludeTrailingPathDelimiter(StringView path) {
  size_t n = path.size();
  while (n > 1 && IsPathDelimiter(path[n - 1])) --n;
  return String(path.substr(0, n));
}

String ExtractFilePath(StringView name) {
  const size_t i = LastDelimiter(name);
  return i == StringView::npos ? String() : String(name.substr(0, i + 1));
}

String ExtractFileName(StringView name) {
  const size_t i = LastDelimiter(name);
  return i == StringView::npos ? String(name) : String(name.substr(i + 1));
}

String ExtractFileExt(StringView name, bool twoParts) {
  size_t start, end;
  FindExtension(name, twoParts, start, end);
  return String(name.substr(start, end - start));
}

String ChangeFileExt(StringView name, StringView extension, bool twoParts) {
  size_t start, end;
  FindExtension(name, twoParts, start, end);
  String result(name.substr(0, start));
  result += extension;
  result += name.substr(end);
  return result;
}

String ExtractFileNameWithoutExt(StringView name) {
  return ChangeFileExt(ExtractFileName(name), u"");
}

String ExtractFileDrive(StringView name) {
  if (StartsWith(name, kLongPrefix)) return ExtractFileDrive(name.substr(kLongPrefix.size()));
  return String(name.substr(0, DrivePrefixLength(name)));
}

String ExtractLastPathParts(StringView path, int count) {
  if (count <= 0) return String();
  size_t end = path.size();
  while (end > 0 && IsPathDelimiter(path[end - 1])) --end;
  size_t start = end;
  for (int found = 0; start > 0;) {
    while (start > 0 && !IsPathDelimiter(path[start - 1])) --start;
    if (++found == count) break;
    while (start > 0 && IsPathDelimiter(path[start - 1])) --start;
  }
  while (start < end && IsPathDelimiter(path[start])) ++start;
  return String(path.substr(start, end - start));
}

String ValidateFileName(StringView name, Char replacement) {
  static constexpr StringView kInvalid = u"\\<>*:?|/";
  String out;
  out.reserve(name.size());
  for (const Char c : name) {
    if (c == u'"') {
      out += u'\'';
    } else if (c < 0x20) {
      // Control characters (a line break from a text) are never part of a name.
    } else if (kInvalid.find(c) != StringView::npos) {
      if (replacement != 0) out += replacement;
    } else {
      out += c;
    }
  }
  const size_t first = out.find_first_not_of(u' ');
  out.erase(0, first == String::npos ? out.size() : first);
  // Cut before trimming the end, so that the cut cannot leave a trailing space or dot, which
  // Windows would silently strip from the name.
  if (out.size() > 255) out.resize(255);
  while (out.size() > 1 && (out.back() == u' ' || out.back() == u'.')) out.pop_back();
  return out;
}

String ValidateFilePath(StringView path) {
  const size_t driveLength = DrivePrefixLength(path);
  String result(path.substr(0, driveLength));
  const StringView rest = path.substr(driveLength);
  const bool rooted = result.empty() && !rest.empty() && IsPathDelimiter(rest[0]);
  const bool trailing = !path.empty() && IsPathDelimiter(path.back());
  if (rooted) result += u'\\';
  size_t i = 0;
  while (i < rest.size()) {
    size_t j = i;
    while (j < rest.size() && !IsPathDelimiter(rest[j])) ++j;
    const String component = ValidateFileName(rest.substr(i, j - i));
    if (!component.empty()) {
      if (!result.empty() && result.back() != u'\\') result += u'\\';
      result += component;
    }
    i = j + 1;
  }
  if (trailing && (result.empty() || !IsPathDelimiter(result.back()))) result += u'\\';
  return result;
}

bool IsExtensionInList(StringView extensions, StringView extension) {
  size_t i = 0;
  while (i < extensions.size()) {
    size_t j = extensions.find(u';', i);
    if (j == StringView::npos) j = extensions.size();
    StringView item = extensions.substr(i, j - i);
    if (!item.empty() && item[0] == u'*') item.remove_prefix(1);
    if (j > i && SameText(item, extension)) return true;
    i = j + 1;
  }
  return false;
}

bool FileExists(const String& name) {
  const uint32_t attributes = platform::GetAttributes(name);
  return attributes != platform::kInvalidAttributes && (attributes & faDirectory) == 0;
}

bool DirectoryExists(const String& path) {
  const uint32_t attributes = platform::GetAttributes(path);
  return attributes != platform::kInvalidAttributes && (attributes & faDirectory) != 0;
}

int64_t GetFileAttributes(const String& name) {
  const uint32_t attributes = platform::GetAttributes(name);
  return attributes == platform::kInvalidAttributes ? -1 : static_cast<int64_t>(attributes);
}

bool SetFileAttributes(const String& name, uint32_t attributes) {
  return platform::SetAttributes(name, attributes);
}

int64_t FileSize(const String& name) {
  uint64_t size = 0;
  if (platform::GetSize(name, size)) return static_cast<int64_t>(size);
  platform::FindData data;
  if (platform::FindOne(name, data)) return static_cast<int64_t>(data.size);
  return 0;
}

bool CopyFile(const String& source, const String& target, bool failIfExists) {
  return platform::CopyFile(source, target, failIfExists);
}

bool MoveFile(const String& source, const String& target) {
  return platform::MoveFile(source, target);
}

bool DeleteFile(const String& name) {
  return platform::DeleteFile(name);
}

bool RemoveDirectory(const String& path) {
  return platform::RemoveDirectory(path);
}

bool CreateDirectory(const String& path) {
  return platform::CreateDirectory(path);
}

bool ForceDirectories(const String& path) {
  try {
    return ForceDirectoriesImpl(path);
  } catch (...) {
    return false;
  }
}

bool DeleteDirectory(const String& path, bool recursive) {
  const String folder = IncludeTrailingPathDelimiter(path);
  // A linked folder is only unlinked: emptying it would delete the files of its target.
  const int64_t attributes = GetFileAttributes(ExcludeTrailingPathDelimiter(folder));
  if (attributes >= 0 && (attributes & faReparsePoint) != 0)
    return RemoveDirectory(ExcludeTrailingPathDelimiter(folder));
  TDLXFindFileInfo info;
  if (FindFirst(folder, u"", tmFiles | tmFolders, info)) {
    do {
      const String full = folder + info.Name;
      bool ok = true;
      if (info.Type == ftFile) {
        ok = DeleteFile(full);
      } else if (recursive) {
        ok = IsLinkedFolder(info) ? RemoveDirectory(full) : DeleteDirectory(full, true);
      }
      if (!ok) break;
    } while (FindNext(info));
    FindClose(info);
  }
  return RemoveDirectory(folder);
}

bool CopyDirectory(const String& source, const String& target, StringView extensions, bool recursive) {
  const String from = IncludeTrailingPathDelimiter(source);
  const String to = IncludeTrailingPathDelimiter(target);
  if (recursive) {
    // Copying a tree into itself would copy its own copies without end.
    String fullFrom, fullTo;
    if (platform::GetFullPath(from, fullFrom) && platform::GetFullPath(to, fullTo)) {
      fullFrom = IncludeTrailingPathDelimiter(fullFrom);
      fullTo = IncludeTrailingPathDelimiter(fullTo);
      if (fullTo.size() >= fullFrom.size() &&
          SameText(StringView(fullTo).substr(0, fullFrom.size()), fullFrom)) {
        platform::SetLastError(platform::InvalidParameterError());
        return false;
      }
    }
  }
  TDLXFindFileInfo info;
  if (!FindFirst(from, extensions, recursive ? (tmFiles | tmFolders) : tmFiles, info))
    return DirectoryExists(from);
  bool result = false;
  do {
    // Linked folders are not followed: a link to an ancestor would never end.
    if (IsLinkedFolder(info)) continue;
    if (!ForceDirectories(to)) {
      result = false;
      break;
    }
    if (info.Type == ftFile) {
      result = CopyFile(from + info.Name, to + info.Name, false);
    } else {
      result = CopyDirectory(from + info.Name, to + info.Name, extensions, true);
    }
    if (!result) break;
  } while (FindNext(info));
  FindClose(info);
  return result;
}

String ExpandFileName(const String& name) {
  String result = name;
  String full;
  if (ContainsDotDelimiter(result) && platform::GetFullPath(result, full)) result = full;
  if (result.find(u'~') != String::npos) {
    if (platform::GetLongPath(result, full)) {
      result = full;
    } else {
      platform::FindData data;
      if (platform::FindOne(result, data)) result = ExtractFilePath(result) + data.name;
    }
  }
  return result;
}

String GetTempPath() {
  String path;
  if (!platform::GetTempFolder(path)) RaiseLastError();
  return IncludeTrailingPathDelimiter(path);
}

String GetTempFileName(const String& prefix) {
  const String folder = GetTempPath();
  String name;
  if (!platform::CreateTempFile(folder, prefix, name)) RaiseLastError();
  return name;
}

String GetCurrentDir() {
  String path;
  if (!platform::GetCurrentFolder(path)) return String();
  return IncludeTrailingPathDelimiter(path);
}

bool SetCurrentDir(const String& path) {
  return platform::SetCurrentFolder(path);
}

String GetExeName() {
  String name;
  return platform::GetExecutableName(name) ? name : String();
}

String GetExePath() {
  return ExtractFilePath(GetExeName());
}

}  // namespace dlx
