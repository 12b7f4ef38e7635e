#include "core/script/file_list.h"

#include <functional>

#include "lib/file_enum.h"
#include "lib/file_system.h"
#include "lib/platform/text.h"

using namespace dlx;

namespace {

bool StartsWithIgnoringCase(StringView text, StringView prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

// Calls found(full path, path relative to the folder) for every file below the folder: a folder's
// files first, then its subfolders in sorted order; linked folders are not followed.
void ListFiles(const String& folder, StringView excludedPrefix,
               const std::function<void(const String&, const String&)>& found) {
  const String base = IncludeTrailingPathDelimiter(folder);
  TDLXSearch search(base, u"", [&](const String& path) { found(path, path.substr(base.size())); });
  const String excluded(excludedPrefix);
  search.OnFolder = [&](const String& path, bool& allow) {
    allow = excluded.empty() || !StartsWithIgnoringCase(path, excluded);
  };
  search.Start(true);
}

}  // namespace

void TInstallerFileList::Add(const String& fileName, const String& targetName) {
  auto item = std::make_unique<TInstallerFileListItem>();
  item->FileName = fileName;
  item->TargetName = targetName;
  items_.push_back(std::move(item));
}

void TInstallerFileList::AddFolder(const String& folder, StringView excludedPrefix, StringView targetPrefix) {
  ListFiles(folder, excludedPrefix,
            [&](const String& path, const String& relative) { Add(path, String(targetPrefix) + relative); });
}

void TInstallerFileList::FindFiles(const String& folder, StringView excludedPrefix, TDLXStringList& list) {
  ListFiles(folder, excludedPrefix, [&](const String& path, const String&) { list.Add(path); });
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
