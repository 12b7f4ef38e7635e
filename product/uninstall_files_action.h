// Removes the installed product: the files of the uninstall log, then the folders emptied by
// that, and on request the backups, the user data of the installation and every user's data
// folder. Nothing outside the folders being removed is ever deleted: log entries that point
// elsewhere are skipped, links are removed as links, and the system's and users' own folders
// are refused whatever the options say. The run's own log file stays until the run ends.
#pragma once

#include <memory>

#include "core/action.h"
#include "lib/string_list.h"

class TInstallerActionUninstallFiles : public TInstallerAction {
 public:
  // The mark of a folder list entry (its Data).
  enum TFolderMark : intptr_t { fmRemoveIfEmpty = 0, fmDeleteWithContents = 1 };

  TInstallerActionUninstallFiles();
  ~TInstallerActionUninstallFiles() override;
  void Execute() override;

  // The files of the uninstall log as full paths inside the installation folder, each once. An
  // entry that lies elsewhere once "." and ".." are resolved (an absolute path, or one climbing
  // out with "..") is logged as skipped and left out.
  void CreateFileList();
  // Every sub-folder of the installation folder after its own sub-folders, to be removed when
  // empty; then, by the options, the backup folder, the user content and the users' data folders
  // to be deleted with their contents. Each entry's root (the folder it must lie in) is kept with
  // it.
  void CreateFolderList();

  dlx::TDLXStringList& FileList() { return *files_; }
  dlx::TDLXStringList& FolderList() { return *folders_; }
  // The folder an entry of the folder list must lie in.
  dlx::String FolderRoot(int index) const;

 protected:
  // The data folders of the machine's users for the version being removed, each with the
  // user's application-data folder it lies in (a multi-user installation only).
  struct TUserDataFolder {
    dlx::String Path;
    dlx::String Root;
  };
  virtual std::vector<TUserDataFolder> UserDataFolders();

 private:
  void AddFolder(const dlx::String& path, TFolderMark mark, const dlx::String& root);
  bool IsRunLog(const dlx::String& path) const;
  void RemoveIfEmpty(const dlx::String& folder);
  void DeleteWithContents(const dlx::String& folder, const dlx::String& root);

  std::unique_ptr<dlx::TDLXStringList> files_;
  std::unique_ptr<dlx::TDLXStringList> folders_;
  dlx::String runLog_;
};
