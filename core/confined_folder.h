// Making, writing, moving and removing inside one folder through handles that never follow a link.
//
// The elevated installer works in folders that a standard user can change while it works (a
// user's data folder, a shortcut folder, a folder the user may plant a link in). Every object is
// therefore reached from the root's handle one component at a time, each opened relative to its
// parent without following reparse points, and what each handle really names
// (GetFinalPathNameByHandleW) must be exactly the path that was meant, below the root's own final
// path, before anything is written, removed or changed through that same handle. A link swapped in
// as a component of the path is either opened as itself (and refused as a reparse point) or, where
// the system follows it anyway (Wine), gives a final path elsewhere: the operation is refused
// instead of reaching through the link.
#pragma once

#include <windows.h>

#include "lib/dlx_string.h"
#include "lib/win/handles.h"

// Where the object behind the handle really is, canonical (core/paths.h); empty when the system
// cannot tell.
dlx::String FinalPathOf(HANDLE handle);

// The attributes, times and size of the object behind the handle (the rest of the structure stays
// zero). GetFileInformationByHandle also asks for the volume's serial number, which costs about
// half a millisecond a call under Wine: thousands of files in a run make that seconds.
bool FileInformationOf(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info);

// The form of a canonical path that the system takes for any length ("\\?\C:\...").
dlx::String LongPathOf(const dlx::String& canonical);

// True when the object at the path is a reparse point (junction, symbolic link, mount point)
// itself; links on the way to it do not count. False when there is nothing.
bool IsReparsePoint(const dlx::String& path);

// True when the folder exists, is no reparse point, and its final path is its own canonical path:
// no component on the way to it is a link either. For folders below a user's profile, which that
// user may have replaced by links anywhere along the way.
bool IsFolderReachedWithoutLinks(const dlx::String& folder);

// Marks the object behind the handle (opened with DELETE access) for deletion as the handle closes.
bool MarkForDeletion(HANDLE handle);

// Renames the object behind the handle (opened with DELETE access) to a full path on the same
// volume, replacing a file there when replace is set; false with the system's error otherwise.
bool RenameByHandle(HANDLE handle, const dlx::String& canonicalTarget, bool replace);

class TConfinedFolder {
 public:
  enum class TRootRule {
    rrNoLink,  // the root itself must be no reparse point; folders on the way to it may be links
    rrExact,   // and its final path must be its path as given (IsFolderReachedWithoutLinks)
  };

  // Opens the root, creating it first (its parent must exist) when create is set. False, logged,
  // when it is missing, is a reparse point, or breaks the rule.
  bool Open(const dlx::String& root, TRootRule rule, bool create = false);
  bool IsOpen() const { return !root_.empty(); }
  // The root's final path, canonical.
  const dlx::String& Root() const { return root_; }
  // The path lies inside the root as given (root included), by whole components.
  bool Contains(const dlx::String& path) const;

  // Creates the missing folders from the root down to the folder, each confirmed (through its own
  // handle) to be a plain folder at the path meant. False, logged, at the first that is not.
  bool ForceFolder(const dlx::String& folder) const;
  // Opens the file for writing, creating it when missing and emptying it, after it has been
  // confirmed a plain file at the path meant (a read-only attribute is cleared first). Its folder
  // must exist (ForceFolder). An empty handle, logged, when it cannot be or is not confirmed.
  dlx::TScopedHandle CreateFileForWrite(const dlx::String& path) const;
  // Renames the open file (opened with DELETE access) to the path, into its folder opened through
  // the root, replacing a plain file there. False when the folder is not confirmed or the system
  // refuses (another volume: ERROR_NOT_SAME_DEVICE is left in GetLastError).
  bool MoveInto(HANDLE file, const dlx::String& path) const;
  // Opens a plain file inside the root with the access asked for (DELETE among it to move or
  // delete it); an empty handle when it is missing, a link or elsewhere (the last two logged).
  dlx::TScopedHandle OpenFile(const dlx::String& path, DWORD access) const;
  // Removes the folder through its handle when it is empty and is a plain folder at the path
  // meant. False when it is missing, not empty, a link, or elsewhere (only the last two are logged).
  bool RemoveEmptyFolder(const dlx::String& folder) const;

 private:
  // The path meant, canonical, when it lies inside the root (root included); empty otherwise.
  dlx::String Inside(const dlx::String& path) const;
  // Where the object at a canonical path inside the root must really be.
  dlx::String Expected(const dlx::String& canonical) const;
  // The handle names a plain object (no reparse point; a folder when folder is set) at expected.
  bool Confirm(HANDLE handle, const dlx::String& expected, bool folder) const;
  // The folder's handle, each component opened relative to the one above it and confirmed; with
  // create, missing folders are made on the way. Empty when a component is missing or refused.
  dlx::TScopedHandle OpenFolder(const dlx::String& canonical, bool create, DWORD access) const;

  dlx::String rootText_;  // the root as given, canonical
  dlx::String root_;      // its final path
};
