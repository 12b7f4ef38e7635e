#include "core/safe_delete.h"

#include <windows.h>

#include <vector>

#include "core/confined_folder.h"
#include "core/file_utils.h"
#include "core/paths.h"
#include "core/pending_restart.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/fs.h"
#include "lib/win/handles.h"

using dlx::String;

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Never follow a link: the handle is the link itself. Folders open only with backup semantics.
constexpr DWORD kNoFollow = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
constexpr DWORD kDeleteAccess = DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;

struct TDeleteContext {
  String root;  // final path of the root folder, canonical
};

// Read once: asking the shell for every folder costs more than deleting a file, and these folders
// do not move while the installer runs.
const std::vector<String>& CachedProtectedFolders() {
  static const std::vector<String> folders = ProtectedFolders();
  return folders;
}

String ErrorText(DWORD code) {
  return dlx::IntToStr(static_cast<int64_t>(code)) + u" " + dlx::platform::ErrorMessage(code);
}

bool IsMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME;
}

dlx::TScopedHandle Open(const String& canonical, DWORD access, DWORD& error) {
  dlx::TScopedHandle handle(CreateFileW(dlx::W(LongPathOf(canonical)), access, kShareAll, nullptr,
                                        OPEN_EXISTING, kNoFollow, nullptr));
  error = handle ? ERROR_SUCCESS : GetLastError();
  return handle;
}

// The names in the folder, read through its handle. Wine and old systems without the directory
// query by handle list by path instead: each entry is checked through its own handle anyway.
bool ListFolder(HANDLE folder, const String& folderPath, std::vector<String>& names) {
  std::vector<unsigned char> buffer(64 * 1024);
  FILE_INFO_BY_HANDLE_CLASS infoClass = FileIdBothDirectoryRestartInfo;
  for (;;) {
    if (!GetFileInformationByHandleEx(folder, infoClass, buffer.data(), static_cast<DWORD>(buffer.size()))) {
      const DWORD error = GetLastError();
      if (error == ERROR_NO_MORE_FILES) return true;
      if (infoClass == FileIdBothDirectoryRestartInfo && error != ERROR_ACCESS_DENIED) break;
      dlx::Log(u"Cannot list \"" + folderPath + u"\": " + ErrorText(error));
      return false;
    }
    infoClass = FileIdBothDirectoryInfo;
    size_t offset = 0;
    for (;;) {
      const auto* entry = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(buffer.data() + offset);
      String name = dlx::FromW(entry->FileName, entry->FileNameLength / sizeof(wchar_t));
      if (name != u"." && name != u"..") names.push_back(std::move(name));
      if (entry->NextEntryOffset == 0) break;
      offset += entry->NextEntryOffset;
    }
  }
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileExW(dlx::W(LongPathOf(folderPath + u"\\*")), FindExInfoBasic, &data,
                                       FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) {
    dlx::Log(u"Cannot list \"" + folderPath + u"\": " + ErrorText(GetLastError()));
    return false;
  }
  do {
    const String name = dlx::FromW(data.cFileName);
    if (name != u"." && name != u"..") names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return true;
}

bool ClearReadOnly(HANDLE handle, DWORD attributes) {
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return true;
  FILE_BASIC_INFO basic{};  // zero times: left as they are
  basic.FileAttributes = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
  if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof(basic)) != 0;
}

// A file in use: its name is freed at once by renaming it (through the same handle) into a private
// folder of the run, and the next restart removes it there.
bool MoveAside(HANDLE handle, const String& path) {
  String parked;
  try {
    parked = CanonicalPath(ParkingName());
  } catch (const dlx::EDLXException& e) {
    dlx::Log(u"No folder for moving \"" + path + u"\" aside: " + e.Message());
    return false;
  }
  if (!RenameByHandle(handle, parked, false)) {
    dlx::Log(u"Cannot move \"" + path + u"\" aside to \"" + parked + u"\": " + ErrorText(GetLastError()));
    return false;
  }
  const bool scheduled = DeleteParkedAtRestart(parked);
  NoteRestartNeeded(path);
  dlx::Log(u"In use: \"" + path + u"\" moved to \"" + parked + u"\"" +
           (scheduled ? String(u", deleted at the next restart")
                      : u", not scheduled for deletion (" + ErrorText(GetLastError()) + u")"));
  return true;
}

bool StillThere(const String& path) {
  return GetFileAttributesW(dlx::W(LongPathOf(path))) != INVALID_FILE_ATTRIBUTES;
}

TSafeDeleteResult DeleteObject(const TDeleteContext& context, const String& path);

TSafeDeleteResult DeleteChildren(const TDeleteContext& context, HANDLE folder, const String& folderPath) {
  std::vector<String> names;
  if (!ListFolder(folder, folderPath, names)) return TSafeDeleteResult::sdFailed;
  TSafeDeleteResult result = TSafeDeleteResult::sdDeleted;
  for (const String& name : names) {
    const TSafeDeleteResult child = DeleteObject(context, folderPath + u"\\" + name);
    if (child == TSafeDeleteResult::sdFailed || child == TSafeDeleteResult::sdRefused)
      result = TSafeDeleteResult::sdFailed;
  }
  return result;
}

// A file someone holds without delete sharing can be neither deleted nor renamed: it is asked for
// again a few times (a reader closing it soon), always through a handle of its own, and otherwise
// stays. Nothing is done by path after a check, since the path may lead elsewhere by then.
dlx::TScopedHandle OpenWhenReleased(const String& path, DWORD& error) {
  dlx::TScopedHandle handle;
  for (int attempt = 0; attempt < 3 && !handle && error == ERROR_SHARING_VIOLATION; ++attempt) {
    Sleep(100);
    handle = Open(path, kDeleteAccess, error);
  }
  return handle;
}

TSafeDeleteResult DeleteObject(const TDeleteContext& context, const String& path) {
  DWORD error = ERROR_SUCCESS;
  bool listable = true;
  dlx::TScopedHandle handle = Open(path, kDeleteAccess | FILE_LIST_DIRECTORY, error);
  if (!handle && (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED)) {
    // A file opened by someone for writing refuses a second reader: ask for less.
    listable = false;
    handle = Open(path, kDeleteAccess, error);
    if (!handle) handle = OpenWhenReleased(path, error);
  }
  if (!handle) {
    if (IsMissing(error)) return TSafeDeleteResult::sdNotFound;
    if (error == ERROR_SHARING_VIOLATION) {
      dlx::Log(u"Not deleted: \"" + path + u"\" is in use by another program; it stays");
      return TSafeDeleteResult::sdFailed;
    }
    dlx::Log(u"Cannot delete \"" + path + u"\": " + ErrorText(error));
    return TSafeDeleteResult::sdFailed;
  }
  const String final = FinalPathOf(handle.Get());
  if (final.empty() || !IsPathInside(final, context.root, true)) {
    dlx::Log(u"Not deleted: \"" + path + u"\" leads to \"" + final + u"\", outside \"" + context.root +
             u"\"");
    return TSafeDeleteResult::sdRefused;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!FileInformationOf(handle.Get(), info)) {
    dlx::Log(u"Cannot delete \"" + final + u"\": " + ErrorText(GetLastError()));
    return TSafeDeleteResult::sdFailed;
  }
  const bool isLink = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  const bool isFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (isFolder && IsProtectedFolder(final, CachedProtectedFolders())) {
    dlx::Log(u"Not deleted: \"" + final + u"\" is a folder of the system or of a user");
    return TSafeDeleteResult::sdRefused;
  }
  TSafeDeleteResult result = TSafeDeleteResult::sdDeleted;
  if (isFolder && !isLink) {
    result = listable ? DeleteChildren(context, handle.Get(), final) : TSafeDeleteResult::sdFailed;
    if (result != TSafeDeleteResult::sdDeleted) {
      dlx::Log(u"Folder kept, it is not empty: \"" + final + u"\"");
      return TSafeDeleteResult::sdFailed;
    }
  }
  if (!ClearReadOnly(handle.Get(), info.dwFileAttributes) || !MarkForDeletion(handle.Get())) {
    const DWORD deleteError = GetLastError();
    if (isFolder || isLink) {
      dlx::Log(u"Cannot delete \"" + final + u"\": " + ErrorText(deleteError));
      return TSafeDeleteResult::sdFailed;
    }
    return MoveAside(handle.Get(), final) ? TSafeDeleteResult::sdDeleted : TSafeDeleteResult::sdFailed;
  }
  handle.Reset();  // the deletion happens as the last handle closes
  if (StillThere(final)) {
    dlx::Log(u"Cannot delete \"" + final + u"\": it is still there");
    return TSafeDeleteResult::sdFailed;
  }
  dlx::Log(u"Deleted \"" + final + u"\"" +
           (isLink ? String(u" (a link; its target is left alone)") : String()));
  return TSafeDeleteResult::sdDeleted;
}

bool IsAbsolute(const String& path) {
  return path.rfind(u"\\\\", 0) == 0 || path.rfind(u"//", 0) == 0 ||
         (path.size() >= 3 && path[1] == u':' && (path[2] == u'\\' || path[2] == u'/'));
}

}  // namespace

namespace {

// Opens the root and learns where it really is; false (with the result to return) when it cannot.
bool OpenRoot(const String& rootText, const String& target, TDeleteContext& context,
              TSafeDeleteResult& result) {
  // Folders on the way to the root may be links (a folder moved to another drive): what counts is
  // where the root really is. The root itself must be a folder, never a link to one, or whoever
  // made the link would choose what is deleted.
  const dlx::TScopedHandle rootHandle(CreateFileW(dlx::W(LongPathOf(rootText)), FILE_READ_ATTRIBUTES,
                                                  kShareAll, nullptr, OPEN_EXISTING, kNoFollow, nullptr));
  if (!rootHandle) {
    const DWORD error = GetLastError();
    if (IsMissing(error)) {
      result = TSafeDeleteResult::sdNotFound;
      return false;
    }
    dlx::Log(u"Not deleted: \"" + target + u"\", its folder \"" + rootText + u"\" cannot be read: " +
             ErrorText(error));
    result = TSafeDeleteResult::sdFailed;
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (IsReparsePoint(rootText) || !FileInformationOf(rootHandle.Get(), info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    dlx::Log(u"Not deleted: \"" + target + u"\", its folder \"" + rootText + u"\" is a link");
    result = TSafeDeleteResult::sdRefused;
    return false;
  }
  context.root = FinalPathOf(rootHandle.Get());
  if (context.root.empty()) {
    dlx::Log(u"Not deleted: \"" + target + u"\", the system cannot tell where \"" + rootText + u"\" is");
    result = TSafeDeleteResult::sdFailed;
    return false;
  }
  return true;
}

// The checks on the path's text; the canonical target, or empty when refused (logged).
String CheckedTarget(const String& path, const String& rootText) {
  if (rootText.empty() || path.empty()) {
    dlx::Log(u"Not deleted: \"" + path + u"\" with no folder to keep it in");
    return String();
  }
  // A name like "C:file" would be taken relative to another folder of drive C.
  if (!IsAbsolute(path) && path.find(u':') != String::npos) {
    dlx::Log(u"Not deleted: \"" + path + u"\" is no path inside \"" + rootText + u"\"");
    return String();
  }
  const String target = CanonicalPath(IsAbsolute(path) ? path : rootText + u"\\" + path);
  if (target.empty() || !IsPathInside(target, rootText, true)) {
    dlx::Log(u"Not deleted: \"" + path + u"\" lies outside \"" + rootText + u"\"");
    return String();
  }
  return target;
}

}  // namespace

TSafeDeleteResult SafeDelete(const String& path, const String& root) {
  const String rootText = CanonicalPath(root);
  if (rootText.empty() || path.empty()) {
    dlx::Log(u"Not deleted: \"" + path + u"\" with no folder to keep it in (\"" + root + u"\")");
    return TSafeDeleteResult::sdRefused;
  }
  const String target = CheckedTarget(path, rootText);
  if (target.empty()) return TSafeDeleteResult::sdRefused;
  TDeleteContext context;
  TSafeDeleteResult result = TSafeDeleteResult::sdFailed;
  if (!OpenRoot(rootText, target, context, result)) return result;
  return DeleteObject(context, target);
}

std::vector<TSafeDeleteResult> SafeDeleteAll(const std::vector<String>& paths, const String& root) {
  std::vector<TSafeDeleteResult> results;
  results.reserve(paths.size());
  const String rootText = CanonicalPath(root);
  TDeleteContext context;
  bool rootOpen = false;
  TSafeDeleteResult rootResult = TSafeDeleteResult::sdFailed;
  for (const String& path : paths) {
    const String target = CheckedTarget(path, rootText);
    if (target.empty()) {
      results.push_back(TSafeDeleteResult::sdRefused);
      continue;
    }
    // The root is looked up once, when the first path needs it.
    if (!rootOpen && !(rootOpen = OpenRoot(rootText, target, context, rootResult))) {
      results.resize(paths.size(), rootResult);
      return results;
    }
    results.push_back(DeleteObject(context, target));
  }
  return results;
}
