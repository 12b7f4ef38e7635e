// How the prepare action undoes an installation that fails or is cancelled later in the run: the
// files and folders the run created below the installation folder and the users' new data
// folders are removed, everything the backup archive holds goes back to where it came from (with
// its times and attributes: the previous Uninstall.exe and Uninstall.dat among it), and the
// uninstall entries are put back as they were. The archive itself and the run's log stay.
#pragma once

#include <initializer_list>
#include <unordered_set>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/string_list.h"
#include "product/backup_archive.h"
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
  void MarkChanged() { changed_ = true; }
  // Files of the previous installation that the deletion step removed.
  void CountDeleted(int count) { deleted_ += count; }
  // The path lies inside the installation folder or a data folder (compared by whole components,
  // ignoring case, after "." and ".." are resolved), or is the obsolete codec library.
  bool MayDelete(const dlx::String& path) const;
  // The folder is one of those folders or lies inside one.
  bool MayRemoveFolder(const dlx::String& folder) const;

  // Takes a file that is deleted without a backup (a cache, the self-updater, an old archive) out of the way
  // instead: moved into a private folder of the temporary folder and deleted at the next restart,
  // so that a failed run can put it back. False when it could not be moved (the caller deletes
  // it then).
  bool HoldAside(const dlx::String& path);

  // The folder a deletion of the path is confined to (one of MayDelete's), or empty.
  dlx::String RootOf(const dlx::String& path) const;

  void Undo(dlx::TDLXStringList& report);

 private:
  void RemoveCreated(const dlx::String& root, dlx::TDLXStringList& report);
  bool Known(const dlx::String& path) const;

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
  std::vector<std::pair<dlx::String, dlx::String>> held_;  // original path, where it is now
};

// The path lies inside the folder, by whole components after "." and ".." are resolved, ignoring
// case.
bool PathInsideFolder(const dlx::String& path, const dlx::String& folder);
// The path is the run's own log file (open and written to while the run goes on).
bool IsRunLog(const dlx::String& path);
