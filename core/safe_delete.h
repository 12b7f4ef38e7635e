// Deletion confined to one folder.
//
//   TSafeDeleteResult SafeDelete(const dlx::String& path, const dlx::String& root);
//
// Deletes the file, the link or the folder tree at path, but only what lies inside root (root
// itself included). path may be absolute or relative to root; "/" counts as "\", and "." and ".."
// are resolved before anything is compared. Paths are compared without regard to case by whole
// components ("C:\App2" is not inside "C:\App").
//
// Every object is checked and deleted through one handle opened without following links: its
// final path (GetFinalPathNameByHandleW) must lie inside root's final path, so a path that passes
// through a junction or symbolic link to somewhere else is refused. A junction or symbolic link
// is deleted as a link; its target is never entered nor touched. Read-only attributes are cleared.
// A folder that is a drive root, the Windows folder, a program-files folder, a user's profile
// folder, the temporary folder or a shell user folder (IsProtectedFolder, core/paths.h; the list is
// read once per process) is refused outright, wherever it is found.
//
// A file that cannot be deleted (in use) is treated as DeleteFileOrSchedule does: moved into the
// temporary folder and deleted at the next restart; a file that cannot even be moved stays, and
// its folder with it. Never raises; every refusal and failure is written to the log.
#pragma once

#include <vector>

#include "lib/dlx_string.h"

enum class TSafeDeleteResult {
  sdDeleted,   // gone (a file in use: moved aside, deleted at the next restart)
  sdNotFound,  // nothing at the path (or root does not exist)
  sdRefused,   // outside root, through a link, or a protected folder: nothing was touched
  sdFailed,    // something could not be deleted; the rest was
};

TSafeDeleteResult SafeDelete(const dlx::String& path, const dlx::String& root);

// SafeDelete of each path with the same root, in order, looking the root up once: for the
// thousands of files an update replaces. One result per path.
std::vector<TSafeDeleteResult> SafeDeleteAll(const std::vector<dlx::String>& paths, const dlx::String& root);
