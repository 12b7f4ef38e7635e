#include "core/confined_folder.h"

#include <winternl.h>

#include <vector>

#include "core/paths.h"
#include "lib/log.h"
#include "lib/platform/fs.h"

using dlx::String;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kNoFollow = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
constexpr DWORD kWalkAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;

// Options and dispositions of NtCreateFile (ntifs.h, which MinGW does not have).
constexpr ULONG kDirectoryFile = 0x00000001;
constexpr ULONG kSynchronousIo = 0x00000020;
constexpr ULONG kNonDirectoryFile = 0x00000040;
constexpr ULONG kOpenReparsePoint = 0x00200000;
constexpr ULONG kOpenExisting = 1;  // FILE_OPEN
constexpr ULONG kOpenOrCreate = 3;  // FILE_OPEN_IF
constexpr ULONG kCaseInsensitive = 0x00000040;
constexpr int kRenameInformation = 10;

using NtCreateFileCall = LONG(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                      PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtSetInformationFileCall = LONG(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, int);
using StatusToErrorCall = ULONG(NTAPI*)(LONG);

template <typename F>
F NtCall(const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

DWORD ErrorOfStatus(LONG status) {
  static const auto convert = NtCall<StatusToErrorCall>("RtlNtStatusToDosError");
  return convert ? convert(status) : ERROR_GEN_FAILURE;
}

String ErrorText(DWORD code) {
  return dlx::IntToStr(static_cast<int64_t>(code)) + u" " + dlx::platform::ErrorMessage(code);
}

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

// One component opened relative to its parent's handle: nothing between the parent and the child
// can be swapped, and a link as the child is opened as itself where the system allows.
dlx::TScopedHandle OpenRelative(HANDLE parent, const String& name, ACCESS_MASK access, ULONG disposition,
                                ULONG options, DWORD& error) {
  static const auto create = NtCall<NtCreateFileCall>("NtCreateFile");
  if (!create) {
    error = ERROR_CALL_NOT_IMPLEMENTED;
    return {};
  }
  String text = name;
  UNICODE_STRING unicode{};
  unicode.Buffer = dlx::W(text);
  unicode.Length = unicode.MaximumLength = static_cast<USHORT>(text.size() * sizeof(wchar_t));
  OBJECT_ATTRIBUTES attributes{};
  attributes.Length = sizeof attributes;
  attributes.RootDirectory = parent;
  attributes.ObjectName = &unicode;
  attributes.Attributes = kCaseInsensitive;
  IO_STATUS_BLOCK status{};
  HANDLE handle = nullptr;
  const LONG result =
      create(&handle, access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, kShareAll,
             disposition, options | kSynchronousIo | kOpenReparsePoint, nullptr, 0);
  if (result < 0) {
    error = ErrorOfStatus(result);
    return {};
  }
  error = ERROR_SUCCESS;
  return dlx::TScopedHandle(handle);
}

dlx::TScopedHandle OpenByPath(const String& canonical, DWORD access, DWORD& error) {
  dlx::TScopedHandle handle(CreateFileW(dlx::W(LongPathOf(canonical)), access, kShareAll, nullptr,
                                        OPEN_EXISTING, kNoFollow, nullptr));
  error = handle ? ERROR_SUCCESS : GetLastError();
  return handle;
}

String Join(const String& folder, dlx::StringView name) {
  return folder.empty() || folder.back() == u'\\' ? folder + String(name) : folder + u"\\" + String(name);
}

void ClearReadOnly(HANDLE handle) {
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
      !(basic.FileAttributes & FILE_ATTRIBUTE_READONLY))
    return;
  basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
}

}  // namespace

bool FileInformationOf(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
  FILE_BASIC_INFO basic{};
  FILE_STANDARD_INFO standard{};
  if (!GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
      !GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard))
    return false;
  const auto time = [](const LARGE_INTEGER& value) {
    return FILETIME{static_cast<DWORD>(value.QuadPart & 0xFFFFFFFF),
                    static_cast<DWORD>(value.QuadPart >> 32)};
  };
  info = BY_HANDLE_FILE_INFORMATION{};
  info.dwFileAttributes = basic.FileAttributes;
  info.ftCreationTime = time(basic.CreationTime);
  info.ftLastAccessTime = time(basic.LastAccessTime);
  info.ftLastWriteTime = time(basic.LastWriteTime);
  info.nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(standard.EndOfFile.QuadPart) >> 32);
  info.nFileSizeLow = static_cast<DWORD>(standard.EndOfFile.QuadPart & 0xFFFFFFFF);
  info.nNumberOfLinks = standard.NumberOfLinks;
  return true;
}

String FinalPathOf(HANDLE handle) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  DWORD length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                           FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  if (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetFinalPathNameByHandleW(handle, buffer.data(), static_cast<DWORD>(buffer.size()),
                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  }
  if (length == 0 || length >= buffer.size()) return String();
  return CanonicalPath(dlx::FromW(buffer.data(), length));
}

String LongPathOf(const String& canonical) {
  if (canonical.rfind(u"\\\\?\\", 0) == 0) return canonical;
  if (canonical.rfind(u"\\\\", 0) == 0) return u"\\\\?\\UNC\\" + canonical.substr(2);
  return u"\\\\?\\" + canonical;
}

bool IsReparsePoint(const String& path) {
  const String canonical = CanonicalPath(path);
  if (canonical.empty()) return false;
  const DWORD attributes = GetFileAttributesW(dlx::W(LongPathOf(canonical)));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsFolderReachedWithoutLinks(const String& folder) {
  const String canonical = CanonicalPath(folder);
  if (canonical.empty() || IsReparsePoint(canonical)) return false;
  DWORD error = ERROR_SUCCESS;
  const dlx::TScopedHandle handle = OpenByPath(canonical, FILE_READ_ATTRIBUTES, error);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!handle || !FileInformationOf(handle.Get(), info)) return false;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  const String final = FinalPathOf(handle.Get());
  return !final.empty() && SamePath(final, canonical);
}

bool MarkForDeletion(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition{TRUE};  // its one member, named like a macro of windows.h
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition)) != 0;
}

bool RenameByHandle(HANDLE handle, const String& canonicalTarget, bool replace) {
  const String target =
      u"\\??\\" +
      (canonicalTarget.rfind(u"\\\\", 0) == 0 ? u"UNC\\" + canonicalTarget.substr(2) : canonicalTarget);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + (target.size() + 1) * sizeof(wchar_t));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = replace ? TRUE : FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
  std::copy(target.begin(), target.end(), rename->FileName);
  return SetFileInformationByHandle(handle, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != 0;
}

bool TConfinedFolder::Open(const String& root, TRootRule rule, bool create) {
  rootText_ = CanonicalPath(root);
  root_.clear();
  if (rootText_.empty()) {
    dlx::Log(u"Not used: \"" + root + u"\" is no folder path");
    return false;
  }
  bool created = false;
  if (create) {
    created = CreateDirectoryW(dlx::W(LongPathOf(rootText_)), nullptr) != 0;
    if (!created && GetLastError() != ERROR_ALREADY_EXISTS) {
      dlx::Log(u"Cannot create \"" + rootText_ + u"\": " + ErrorText(GetLastError()));
      return false;
    }
  }
  if (IsReparsePoint(rootText_)) {
    dlx::Log(u"Not entered: \"" + rootText_ + u"\" is a link (junction, symbolic link or mount point)");
    return false;
  }
  DWORD error = ERROR_SUCCESS;
  const dlx::TScopedHandle handle =
      OpenByPath(rootText_, FILE_READ_ATTRIBUTES | (created ? DELETE : 0), error);
  if (!handle) {
    if (!IsMissing(error)) dlx::Log(u"Cannot open \"" + rootText_ + u"\": " + ErrorText(error));
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  const String final = FinalPathOf(handle.Get());
  const bool plain = FileInformationOf(handle.Get(), info) &&
                     (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                     !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
  if (!plain || final.empty() || (rule == TRootRule::rrExact && !SamePath(final, rootText_))) {
    dlx::Log(u"Not entered: \"" + rootText_ + u"\" is reached through a link (it is \"" + final + u"\")");
    // A folder made just now through a swapped link goes again.
    if (created) MarkForDeletion(handle.Get());
    return false;
  }
  root_ = final;
  return true;
}

bool TConfinedFolder::Contains(const String& path) const {
  return !Inside(path).empty();
}

String TConfinedFolder::Inside(const String& path) const {
  if (root_.empty()) return String();
  const String canonical = CanonicalPath(path);
  return !canonical.empty() && IsPathInside(canonical, rootText_, true) ? canonical : String();
}

String TConfinedFolder::Expected(const String& canonical) const {
  String expected = root_;
  for (const String& part : PathComponents(dlx::StringView(canonical).substr(rootText_.size())))
    expected = Join(expected, part);
  return expected;
}

bool TConfinedFolder::Confirm(HANDLE handle, const String& expected, bool folder) const {
  BY_HANDLE_FILE_INFORMATION info{};
  const String final = FinalPathOf(handle);
  if (FileInformationOf(handle, info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
      ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == folder && !final.empty() &&
      SamePath(final, expected))
    return true;
  dlx::Log(u"Refused: \"" + expected + u"\" is no plain " + (folder ? u"folder" : u"file") +
           u" there, it leads to \"" + final + u"\"");
  return false;
}

dlx::TScopedHandle TConfinedFolder::OpenFolder(const String& canonical, bool create, DWORD access) const {
  const std::vector<String> parts = PathComponents(dlx::StringView(canonical).substr(rootText_.size()));
  DWORD error = ERROR_SUCCESS;
  dlx::TScopedHandle handle = OpenByPath(rootText_, kWalkAccess | (parts.empty() ? access : 0), error);
  if (!handle) {
    if (!IsMissing(error)) dlx::Log(u"Cannot open \"" + rootText_ + u"\": " + ErrorText(error));
    SetLastError(error);
    return {};
  }
  if (!Confirm(handle.Get(), root_, true)) return {};
  String expected = root_;
  for (size_t i = 0; i < parts.size(); ++i) {
    expected = Join(expected, parts[i]);
    const DWORD wanted = kWalkAccess | (i + 1 == parts.size() ? access : 0);
    dlx::TScopedHandle child = OpenRelative(handle.Get(), parts[i], wanted,
                                            create ? kOpenOrCreate : kOpenExisting, kDirectoryFile, error);
    if (!child) {
      if (!IsMissing(error)) dlx::Log(u"Cannot open \"" + expected + u"\": " + ErrorText(error));
      SetLastError(error);
      return {};
    }
    if (!Confirm(child.Get(), expected, true)) return {};
    handle = std::move(child);
  }
  return handle;
}

bool TConfinedFolder::ForceFolder(const String& folder) const {
  const String canonical = Inside(folder);
  if (canonical.empty()) {
    dlx::Log(u"Not created: \"" + folder + u"\" lies outside \"" + rootText_ + u"\"");
    return false;
  }
  return OpenFolder(canonical, true, 0).Valid();
}

dlx::TScopedHandle TConfinedFolder::OpenFile(const String& path, DWORD access) const {
  const String canonical = Inside(path);
  if (canonical.empty() || SamePath(canonical, rootText_)) {
    dlx::Log(u"Not opened: \"" + path + u"\" is no file inside \"" + rootText_ + u"\"");
    return {};
  }
  const dlx::TScopedHandle parent = OpenFolder(CanonicalPath(canonical + u"\\.."), false, 0);
  if (!parent) return {};
  DWORD error = ERROR_SUCCESS;
  dlx::TScopedHandle file =
      OpenRelative(parent.Get(), PathComponents(canonical).back(), access | FILE_READ_ATTRIBUTES,
                   kOpenExisting, kNonDirectoryFile, error);
  if (!file) {
    if (!IsMissing(error)) dlx::Log(u"Cannot open \"" + canonical + u"\": " + ErrorText(error));
    SetLastError(error);
    return {};
  }
  if (!Confirm(file.Get(), Expected(canonical), false)) return {};
  return file;
}

dlx::TScopedHandle TConfinedFolder::CreateFileForWrite(const String& path) const {
  const String canonical = Inside(path);
  if (canonical.empty() || SamePath(canonical, rootText_)) {
    dlx::Log(u"Not written: \"" + path + u"\" is no file inside \"" + rootText_ + u"\"");
    return {};
  }
  const dlx::TScopedHandle parent = OpenFolder(CanonicalPath(canonical + u"\\.."), false, 0);
  if (!parent) return {};
  const String name = PathComponents(canonical).back();
  const String expected = Expected(canonical);
  DWORD error = ERROR_SUCCESS;
  {
    // A read-only file is made writable once it is known to be a plain file in this place.
    const dlx::TScopedHandle existing =
        OpenRelative(parent.Get(), name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kOpenExisting,
                     kNonDirectoryFile, error);
    if (existing) {
      if (!Confirm(existing.Get(), expected, false)) return {};
      ClearReadOnly(existing.Get());
    }
  }
  dlx::TScopedHandle file = OpenRelative(parent.Get(), name, GENERIC_WRITE | FILE_READ_ATTRIBUTES,
                                         kOpenOrCreate, kNonDirectoryFile, error);
  if (!file) {
    dlx::Log(u"Cannot write \"" + canonical + u"\": " + ErrorText(error));
    SetLastError(error);
    return {};
  }
  // Emptied only now: nothing is cut short before it is known to be this file.
  FILE_END_OF_FILE_INFO end{};
  if (!Confirm(file.Get(), expected, false)) return {};
  if (!SetFileInformationByHandle(file.Get(), FileEndOfFileInfo, &end, sizeof end)) {
    dlx::Log(u"Cannot empty \"" + canonical + u"\": " + ErrorText(GetLastError()));
    return {};
  }
  return file;
}

bool TConfinedFolder::MoveInto(HANDLE file, const String& path) const {
  static const auto setInformation = NtCall<NtSetInformationFileCall>("NtSetInformationFile");
  const String canonical = Inside(path);
  if (canonical.empty() || SamePath(canonical, rootText_) || !setInformation) {
    dlx::Log(u"Not moved: \"" + path + u"\" is no file inside \"" + rootText_ + u"\"");
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  const dlx::TScopedHandle parent = OpenFolder(CanonicalPath(canonical + u"\\.."), true, 0);
  if (!parent) return false;
  const String name = PathComponents(canonical).back();
  // The name is relative to the parent's handle, so the file lands in that very folder.
  struct TRename {
    BOOLEAN ReplaceIfExists;
    HANDLE RootDirectory;
    ULONG FileNameLength;
    WCHAR FileName[1];
  };
  std::vector<unsigned char> buffer(sizeof(TRename) + name.size() * sizeof(wchar_t));
  auto* rename = reinterpret_cast<TRename*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = parent.Get();
  rename->FileNameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
  std::copy(name.begin(), name.end(), rename->FileName);
  IO_STATUS_BLOCK status{};
  const LONG result =
      setInformation(file, &status, buffer.data(), static_cast<ULONG>(buffer.size()), kRenameInformation);
  if (result < 0) {
    SetLastError(ErrorOfStatus(result));
    return false;
  }
  return true;
}

bool TConfinedFolder::RemoveEmptyFolder(const String& folder) const {
  const String canonical = Inside(folder);
  if (canonical.empty()) {
    dlx::Log(u"Not removed: \"" + folder + u"\" lies outside \"" + rootText_ + u"\"");
    return false;
  }
  dlx::TScopedHandle handle = OpenFolder(canonical, false, DELETE);
  if (!handle) return false;
  if (!MarkForDeletion(handle.Get())) {
    const DWORD error = GetLastError();
    if (error != ERROR_DIR_NOT_EMPTY)
      dlx::Log(u"Cannot remove the folder \"" + canonical + u"\": " + ErrorText(error));
    return false;
  }
  handle.Reset();  // removed as the last handle closes
  return GetFileAttributesW(dlx::W(LongPathOf(canonical))) == INVALID_FILE_ATTRIBUTES;
}
