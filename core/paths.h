// Paths in one canonical form, compared by whole components, and the folders of the system and of
// its users that the installer never takes as a destination and never deletes.
#pragma once

#include <vector>

#include "lib/dlx_string.h"

// The absolute form of a path: "/" read as "\", a "\\?\" prefix dropped ("\\?\UNC\" becomes
// "\\"), "." and ".." resolved and a relative path taken from the current folder
// (GetFullPathNameW). A trailing backslash stays only on a drive root ("C:\"). Empty when the
// system cannot make the path absolute.
dlx::String CanonicalPath(const dlx::String& path);

// The parts of a path between backslashes, empty ones dropped.
std::vector<dlx::String> PathComponents(dlx::StringView path);

// Whole-component comparisons, without regard to case, of two paths already in canonical form:
// "C:\Apps\ZUVA" is inside "C:\Apps\" but "C:\Apps2\ZUVA" is not.
bool SamePath(dlx::StringView a, dlx::StringView b);
bool IsPathInside(dlx::StringView path, dlx::StringView root, bool allowEqual);

// The folders that must never be an installation folder nor be deleted: the Windows folder, the
// system folders, the program-files folders (both views), the folder of the user profiles and
// every profile folder (the profile list), the temporary folder, and the shell's user and common
// folders (Desktop, Documents, Music, Pictures, Videos, AppData, Start Menu...). Canonical, without
// trailing backslash. Read from the system on every call.
std::vector<dlx::String> ProtectedFolders();

// True for a drive root or a share root ("\\server\share") or one of ProtectedFolders (the list is
// read when none is given). The path is made canonical first.
bool IsProtectedFolder(const dlx::String& path);
bool IsProtectedFolder(const dlx::String& path, const std::vector<dlx::String>& protectedFolders);

// The program-files folders of both views (the 64-bit ones too in a 32-bit process), canonical:
// the places where only administrators put programs.
std::vector<dlx::String> ProgramFilesFolders();
