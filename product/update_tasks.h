// Small clean-up and migration steps shared by the prepare action (before an install or update)
// and the uninstall: removing the product's shell menu, shortcuts and registrations, and moving
// each user's data folder and configuration to the names of the version being installed.
#pragma once

#include <vector>

#include "core/action.h"
#include "lib/string_list.h"

class TInstallerProfileInfo;
class TPrepareRollback;

class TInstallerUpdateTask : public TInstallerPersistent {
 public:
  TInstallerUpdateTask() = default;
  TInstallerUpdateTask(const TInstallerUpdateTask&) = delete;
  TInstallerUpdateTask& operator=(const TInstallerUpdateTask&) = delete;

  // deleteList: the caller's list of files to delete (full paths), which the task may add to or
  // take from; null for the uninstall's tasks, which must not touch one.
  virtual void Execute(dlx::TDLXStringList* deleteList) = 0;

  // Before an installation, what the task removes is held aside and recorded here, so that a
  // failed run puts it back; the uninstall's tasks have none and remove for good.
  void SetRollback(TPrepareRollback* rollback) { rollback_ = rollback; }

 protected:
  TPrepareRollback* rollback_ = nullptr;
};

// The folders where the product's shortcuts are: the desktop, the start menu and their common
// counterparts.
std::vector<dlx::String> ShortcutFolders();

// Unregisters and deletes the shell-menu libraries in "System\".
class TInstallerUpdateTaskRemoveShellMenu : public TInstallerUpdateTask {
 public:
  void Execute(dlx::TDLXStringList* deleteList) override;
};

// Deletes the product's desktop links and start-menu folders (the older generation's too when
// the installed version is older than 4.00).
class TInstallerUpdateTaskRemoveShortcuts : public TInstallerUpdateTask {
 public:
  void Execute(dlx::TDLXStringList* deleteList) override;
};

// Deletes uninstall entries ("ZUVA3", "ZUVA") that point into the destination folder.
class TInstallerUpdateTaskRemoveUninstallInfo : public TInstallerUpdateTask {
 public:
  void Execute(dlx::TDLXStringList* deleteList) override;
};

// Runs the integration program's unregistration and deletes the product's uninstall entry.
class TInstallerUpdateTaskRemoveFromRegistry : public TInstallerUpdateTask {
 public:
  void Execute(dlx::TDLXStringList* deleteList) override;
};

// Moves one user's data folder and configuration files to the version being installed.
class TInstallerUpdateTaskUpdateConfigs : public TInstallerUpdateTask {
 public:
  // The profile is not owned; it must outlive the task.
  explicit TInstallerUpdateTaskUpdateConfigs(TInstallerProfileInfo& profile) : profile_(profile) {}
  void Execute(dlx::TDLXStringList* deleteList) override;

 private:
  TInstallerProfileInfo& profile_;
};

class TSetupHelper {
 public:
  // Copies the tree (system files unseen), replacing files of the same name; nothing when both
  // folders are the same. Raises EInstallerInstallError "Cannot copy ..." at the first failure.
  // With move, the source tree is deleted after a complete copy.
  static void CopyFolder(const dlx::String& source, const dlx::String& target, bool move);
  // Takes every entry that begins with the folder (ignoring case) out of the list.
  static void ExcludeFolder(dlx::TDLXStringList& list, const dlx::String& folder);
  // Deletes the folder with its files and subfolders, never outside root and never through a
  // link (what is in use stays, and its folder with it). Never raises.
  static void DeleteTree(const dlx::String& folder, const dlx::String& root);
};
