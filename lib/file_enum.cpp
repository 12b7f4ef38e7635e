#include "lib/file_enum.h"

#include <vector>

#include "lib/exceptions.h"
#include "lib/file_system.h"

namespace dlx {

namespace {

bool Passes(const TDLXFindFileInfo& info) {
  const platform::FindData& data = info.FindData;
  if (data.name == u"." || data.name == u"..") return false;
  if (data.attributes & platform::kAttrSystem) return false;
  const TDLXFileType type = (data.attributes & platform::kAttrDirectory) ? ftFolder : ftFile;
  if ((info.TypeMask & (1u << type)) == 0) return false;
  if (type == ftFile && !info.Extensions.empty() &&
      !IsExtensionInList(info.Extensions, ExtractFileExt(data.name)))
    return false;
  return true;
}

void Accept(TDLXFindFileInfo& info) {
  info.Name = info.FindData.name;
  info.Type = (info.FindData.attributes & platform::kAttrDirectory) ? ftFolder : ftFile;
}

// Closing a listing must not disturb the error code that ended it.
void CloseKeepingError(TDLXFindFileInfo& info) {
  const uint32_t error = platform::LastError();
  FindClose(info);
  platform::SetLastError(error);
}

}  // namespace

bool FindFirst(const String& folder, StringView extensions, uint32_t typeMask, TDLXFindFileInfo& info) {
  FindClose(info);
  info.Folder = IncludeTrailingPathDelimiter(folder);
  info.Extensions = String(extensions);
  info.TypeMask = typeMask;
  if (!info.Handle.First(info.Folder, info.FindData)) return false;
  while (!Passes(info)) {
    if (!info.Handle.Next(info.FindData)) {
      CloseKeepingError(info);
      return false;
    }
  }
  Accept(info);
  return true;
}

bool FindNext(TDLXFindFileInfo& info) {
  if (!info.Handle.Valid()) return false;
  do {
    if (!info.Handle.Next(info.FindData)) {
      CloseKeepingError(info);
      return false;
    }
  } while (!Passes(info));
  Accept(info);
  return true;
}

void FindClose(TDLXFindFileInfo& info) {
  info.Handle.Close();
  info.Name.clear();
  info.Type = ftFile;
}

void EnumFiles(const String& folder, StringView extensions, uint32_t typeMask, bool recursive,
               const TDLXFileReceiver& receiver) {
  const String dir = IncludeTrailingPathDelimiter(folder);
  TDLXFindFileInfo info;
  if (recursive) {
    // Collected first, so that no listing stays open during the recursion.
    std::vector<String> subfolders;
    if (FindFirst(dir, u"", tmFolders, info)) {
      do {
        if ((info.FindData.attributes & platform::kAttrReparsePoint) == 0)
          subfolders.push_back(info.FullPath());
      } while (FindNext(info));
    }
    for (const String& sub : subfolders) EnumFiles(sub, extensions, typeMask, true, receiver);
  }
  if (FindFirst(dir, extensions, typeMask, info)) {
    do {
      receiver(info.Type == ftFolder ? info.FullPath() + u'\\' : info.FullPath());
    } while (FindNext(info));
  }
}

void EnumFiles(const String& folder, StringView extensions, TDLXStringList& list) {
  EnumFiles(folder, extensions, tmFiles, false, [&list](const String& path) { list.Add(path); });
}

TDLXSearch::TDLXSearch(const String& folder, StringView extensions, TDLXFileReceiver receiver)
    : folder_(IncludeTrailingPathDelimiter(folder)),
      extensions_(extensions),
      receiver_(std::move(receiver)) {}

void TDLXSearch::Start(bool recursive) {
  recursive_ = recursive;
  running_ = true;
  try {
    Search(folder_);
  } catch (const EDLXAbort&) {
    // The silent abort: the caller asked to stop, nothing to report.
  } catch (...) {
    running_ = false;
    throw;
  }
  running_ = false;
}

void TDLXSearch::Search(const String& folder) {
  if (!running_) return;
  bool allow = true;
  if (OnFolder) OnFolder(folder, allow);
  if (!allow || !running_) return;
  TDLXStringList subfolders;
  TDLXFindFileInfo info;
  if (FindFirst(folder, extensions_, recursive_ ? tmAll : tmFiles, info)) {
    do {
      if (!running_) return;
      if (info.Type == ftFile) {
        if (receiver_) receiver_(info.FullPath());
      } else if ((info.FindData.attributes & platform::kAttrReparsePoint) == 0) {
        // Linked folders are not followed: a link to an ancestor would never end.
        subfolders.Add(info.FullPath() + u'\\');
      }
    } while (FindNext(info));
  }
  subfolders.SortLogical();
  for (int i = 0; i < subfolders.Count() && running_; ++i) Search(subfolders.Strings(i));
}

}  // namespace dlx
