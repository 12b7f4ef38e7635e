#include "core/script/file_list.h"

#include <algorithm>
#include <functional>

#include "lib/file_enum.h"
#include "lib/file_system.h"
#include "lib/platform/text.h"

using namespace dlx;

namespace {

bool StartsWithIgnoringCase(StringView text, StringView prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

// Calls found(full path, path relative to the top folder) for every file below folder. Files of a
// folder come first, then its subfolders in sorted order. Linked folders are not followed, so a
// link loop cannot make the walk endless.
void ListFiles(const String& folder, const String& relative, StringView excludedPrefix,
               const std::function<void(const String&, const String&)>& found) {
  if (!excludedPrefix.empty() && StartsWithIgnoringCase(folder, excludedPrefix)) return;
  std::vector<String> files, folders;
  TDLXFindFileInfo info;
  if (FindFirst(folder, u"", tmAll, info)) {
    do {
      if (info.Type == ftFile) {
        files.push_back(info.Name);
      } else if ((info.FindData.attributes & platform::kAttrReparsePoint) == 0) {
        folders.push_back(info.Name);
      }
    } while (FindNext(info));
  }
  const auto byName = [](const String& a, const String& b) { return CompareTextIgnoreCase(a, b) < 0; };
  std::sort(files.begin(), files.end(), byName);
  std::sort(folders.begin(), folders.end(), byName);
  for (const String& name : files) found(folder + name, relative + name);
  for (const String& name : folders) {
    ListFiles(folder + name + u'\\', relative + name + u'\\', excludedPrefix, found);
  }
}

}  // namespace

void TInstallerFileList::Add(const String& fileName, const String& targetName) {
  auto item = std::make_unique<TInstallerFileListItem>();
  item->FileName = fileName;
  item->TargetName = targetName;
  items_.push_back(std::move(item));
}

void TInstallerFileList::AddFolder(const String& folder, StringView excludedPrefix, StringView targetPrefix) {
  ListFiles(folder, String(), excludedPrefix,
            [&](const String& path, const String& relative) { Add(path, String(targetPrefix) + relative); });
}

void TInstallerFileList::FindFiles(const String& folder, StringView excludedPrefix, TDLXStringList& list) {
  ListFiles(folder, String(), excludedPrefix, [&](const String& path, const String&) { list.Add(path); });
}

void TInstallerFileList::RemoveByFileName(StringView name) {
  for (size_t i = items_.size(); i-- > 0;) {
    if (SameText(ExtractFileName(items_[i]->FileName), name)) {
      items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

TInstallerFileListItem* TInstallerFileList::Items(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= items_.size()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}
