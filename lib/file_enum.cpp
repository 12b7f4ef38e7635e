#include "lib/file_enum.h"

#include <vector>

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

}  // namespace dlx
