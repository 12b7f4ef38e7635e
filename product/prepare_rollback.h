// How the prepare action undoes an installation that fails or is cancelled later in the run: the
// files and folders the run created below the installation folder and the users' new data
// folders are removed, everything the backup archive holds goes back to where it came from (with
// its times and attributes: the previous Uninstall.exe and Uninstall.dat among it), and the
// uninstall entries are put back as they were. The archive itself and the run's log stay.
#pragma once

#include <initializer_list>
#include <memory>
#include <unordered_set>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/string_list.h"
#include "product/backup_archive.h"
#include "product/journal_file.h"
#include "product/registry_snapshot.h"

class TPrepareRollback {
 public:
  explicit TPrepareRollback(const dlx::String& dest);

  // A folder whose content the run may change (a user's data folder, old or new).
  void AddDataFolder(const dlx::String& folder);
  // Remembers the uninstall entries of these names as they are now.
  void CaptureRegistry(std::initializer_list<dlx::String> names);
  // Remembers which files and folders exist now below the installation folder (without the
  // backup folder) and the data folders.
  void CaptureFiles();
  // The verified archive of the previous installation and where each entry came from.
  void SetBackup(const dlx::String& archive, const std::vector<TBackupEntryRecord>& records);
  // From here on the previous installation is being changed (tasks, then deletion).
  void MarkChanged();
  // Files of the previous installation that the deletion step removed.
  void CountDeleted(int count);
  // The path lies inside the installation folder or a data folder (compared by whole components,
  // ignoring case, after "." and ".." are resolved), or is the obsolete codec library.
  bool MayDelete(const dlx::String& path) const;
  // The folder is one of those folders or lies inside one.
  bool MayRemoveFolder(const dlx::String& folder) const;

  // Takes a file that is deleted without a backup (a cache, the self-updater, an old archive) out of the way
  // instead: moved by handle into a private folder below AdminTempFolder and deleted at the next
  // restart, so that a failed run can put it back. False when it could not be moved (another
  // volume, a link on the way: the caller deletes it then).
  bool HoldAside(const dlx::String& path);

  // The same for a file below another folder that the run may change (a shortcut folder).
  bool HoldAsideIn(const dlx::String& path, const dlx::String& root);

  // The folder a deletion of the path is confined to (one of MayDelete's), or empty.
  dlx::String RootOf(const dlx::String& path) const;
  // The same for a folder, which may be the installation folder or a data folder itself.
  dlx::String FolderRootOf(const dlx::String& folder) const;
  // Removes the folder, when it is empty, through a handle confined to FolderRootOf (no link is
  // followed on the way to it, nor removed in its place).
  bool RemoveEmptyFolder(const dlx::String& folder) const;

  // A shell-menu library whose registration the run is about to remove: the rollback registers
  // it again once its file is back.
  void MarkUnregistered(const dlx::String& library);
  // The integration program is about to register the installation: the rollback runs its
  // removal first, while the program is still there.
  void MarkIntegrated(const dlx::String& program);

  // From here on, what the rollback needs is also kept in the journal file beside the backups
  // (TJournalFile::PathFor), each change recorded before it is made, so that a run that is killed
  // is rolled back by the next run into this folder. Only for a folder that existed before the
  // run (a fresh installation has nothing to bring back). The archive is flushed to the disk
  // first. Raises EInstallerInstallError when the journal cannot be written.
  void Persist();
  // The run completed: the journal file goes.
  void Commit();

  // The rollback of a run that did not end, from the journal it left in the folder. Records that
  // reach outside what such a run may change are left out and logged: the folder itself, the
  // users' data folders as they are now (dataFolders), the shortcut folders (linkFolders), the
  // temporary folder for held files, and the uninstall entries of these names. Null when the
  // file is no journal of this folder.
  static std::shared_ptr<TPrepareRollback> Load(const dlx::String& dest,
                                                const std::vector<dlx::String>& dataFolders,
                                                const std::vector<dlx::String>& linkFolders,
                                                const std::vector<dlx::String>& uninstallNames);

  void Undo(dlx::TDLXStringList& report);

 private:
  void RemoveCreated(const dlx::String& root, dlx::TDLXStringList& report);
  bool Known(const dlx::String& path) const;
  bool MoveAside(const dlx::String& path, const dlx::String& root);
  struct THeld {
    dlx::String Path;  // where it was and goes back to
    dlx::String Now;   // where it is held
    dlx::String Root;  // the folder it is put back through
  };
  void RemoveJournal();
  void Note(const std::vector<dlx::String>& record);

  dlx::String dest_;
  dlx::String backupFolder_;
  std::vector<dlx::String> dataFolders_;
  std::vector<TRegistrySnapshot> registry_;
  std::unordered_set<dlx::String> existing_;
  dlx::String archive_;
  std::vector<TBackupEntryRecord> records_;
  bool changed_ = false;
  int deleted_ = 0;
  dlx::String holdFolder_;
  std::vector<THeld> held_;
  std::vector<dlx::String> unregistered_;
  dlx::String integrated_;
  std::unique_ptr<TJournalFile> journal_;
};

// The rollback of the installation in progress, for the actions after the prepare action that
// add to it (the integration); empty outside a run.
std::shared_ptr<TPrepareRollback>& RunRollback();

// The path lies inside the folder, by whole components after "." and ".." are resolved, ignoring
// case.
bool PathInsideFolder(const dlx::String& path, const dlx::String& folder);
// The path is the run's own log file (open and written to while the run goes on).
bool IsRunLog(const dlx::String& path);
