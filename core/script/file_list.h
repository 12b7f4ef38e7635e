// A list of existing files and the names they get at their destination (a path inside a backup
// archive, for example), filled from folder listings.
#pragma once

#include <memory>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/string_list.h"

class TInstallerFileListItem {
 public:
  virtual ~TInstallerFileListItem() = default;

  dlx::String TargetName;  // the name the file gets in its destination
  dlx::String FileName;    // full path of the existing file
};

class TInstallerFileList {
 public:
  TInstallerFileList() = default;
  TInstallerFileList(const TInstallerFileList&) = delete;
  TInstallerFileList& operator=(const TInstallerFileList&) = delete;

  void Add(const dlx::String& fileName, const dlx::String& targetName);
  // Adds every file below the folder (which ends with a delimiter), recursively, subfolders in
  // sorted order, skipping every folder (the starting one included) whose path begins with the
  // excluded prefix, ignoring case; an empty prefix excludes nothing. TargetName is the target
  // prefix followed by the path relative to the folder.
  void AddFolder(const dlx::String& folder, dlx::StringView excludedPrefix, dlx::StringView targetPrefix);
  // Removes every item whose file-name part equals the name, ignoring case.
  void RemoveByFileName(dlx::StringView name);
  // The listing AddFolder uses, on its own: appends the full path of every file found.
  static void FindFiles(const dlx::String& folder, dlx::StringView excludedPrefix, dlx::TDLXStringList& list);

  int Count() const { return static_cast<int>(items_.size()); }
  // The item at that index, or null when the index is out of range.
  TInstallerFileListItem* Items(int index) const;

 private:
  std::vector<std::unique_ptr<TInstallerFileListItem>> items_;
};
