#include "product/update_tasks.h"

// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include <algorithm>

#include "core/activex.h"
#include "core/app_repository.h"
#include "core/confined_folder.h"
#include "core/errors.h"
#include "core/file_utils.h"
#include "core/installer.h"
#include "core/resources.h"
#include "core/safe_delete.h"
#include "lib/file_enum.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/text.h"
#include "product/prepare_rollback.h"
#include "product/product_info_zuva.h"
#include "product/product_names.h"
#include "product/profiles.h"
#include "product/shell_link.h"

using dlx::String;

namespace {

bool StartsWithText(dlx::StringView text, dlx::StringView prefix) {
  return text.size() >= prefix.size() && dlx::SameText(text.substr(0, prefix.size()), prefix);
}

// Moves the file to the new name in the same folder when it exists; a failure raises the
// system's error.
void RenameInFolder(const String& folder, const char16_t* oldName, const char16_t* newName) {
  const String source = folder + oldName;
  const String target = folder + newName;
  if (!dlx::FileExists(source)) return;
  if (!dlx::MoveFile(source, target)) throw OSErrorWithPaths(GetLastError(), source, target);
  dlx::Log(u"Renamed \"" + source + u"\" to \"" + newName + u"\"");
}

void AppendExisting(dlx::TDLXStringList* list, const String& path) {
  if (list && dlx::FileExists(path)) list->Add(path);
}

// Copies one file through handles on both sides: the source is read only when it is a plain file
// in its folder, the target written only when it is one in the target folder, and the source's
// times and attributes go to the copy.
bool CopyConfinedFile(const TConfinedFolder& from, const String& source, const TConfinedFolder& to,
                      const String& target) {
  const dlx::TScopedHandle input = from.OpenFile(source, GENERIC_READ);
  if (!input) return false;
  FILE_BASIC_INFO basic{};
  if (!GetFileInformationByHandleEx(input.Get(), FileBasicInfo, &basic, sizeof basic)) return false;
  const dlx::TScopedHandle output = to.CreateFileForWrite(target);
  if (!output) return false;
  std::vector<char> buffer(256 * 1024);
  for (;;) {
    DWORD read = 0, written = 0;
    if (!ReadFile(input.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
      return false;
    if (read == 0) break;
    if (!WriteFile(output.Get(), buffer.data(), read, &written, nullptr) || written != read) return false;
  }
  basic.ChangeTime.QuadPart = 0;  // left to the system
  return SetFileInformationByHandle(output.Get(), FileBasicInfo, &basic, sizeof basic) != 0;
}

// Copies the tree below from (a folder inside the source root) to the same place below the target
// root; false at the first failure. A user may have put links anywhere in either data folder:
// linked entries of the source are neither entered nor copied, and nothing is written through one
// in the target.
bool CopyTree(const TConfinedFolder& source, const String& from, const TConfinedFolder& target,
              const String& to) {
  dlx::TDLXFindFileInfo info;
  bool targetMade = false;
  bool ok = true;
  if (dlx::FindFirst(from, u"", dlx::tmAll, info)) {
    do {
      if (info.FindData.attributes & dlx::platform::kAttrReparsePoint) {
        dlx::Log(u"Not copied, it is a link: \"" + info.FullPath() + u"\"");
        continue;
      }
      // The target is made only when there is something to copy.
      if (!targetMade) targetMade = target.ForceFolder(to);
      ok = targetMade && (info.Type == dlx::ftFolder
                              ? CopyTree(source, info.FullPath() + u"\\", target, to + info.Name + u"\\")
                              : CopyConfinedFile(source, info.FullPath(), target, to + info.Name));
    } while (ok && dlx::FindNext(info));
    dlx::FindClose(info);
  }
  return ok;
}

}  // namespace

void TSetupHelper::CopyFolder(const String& source, const String& target, bool move) {
  if (dlx::SameText(source, target)) return;
  const String from = dlx::IncludeTrailingPathDelimiter(source);
  const String to = dlx::IncludeTrailingPathDelimiter(target);
  if (!dlx::DirectoryExists(from) && !IsReparsePoint(from)) return;
  // An empty source folder makes no target.
  dlx::TDLXFindFileInfo probe;
  if (!dlx::FindFirst(from, u"", dlx::tmAll, probe)) return;
  dlx::FindClose(probe);
  // Both roots are data folders of users: neither may be, or be reached through, a link. The target
  // is made in its parent, which must exist.
  TConfinedFolder sourceFolder, targetFolder;
  bool ok = sourceFolder.Open(from, TConfinedFolder::TRootRule::rrExact);
  if (ok) {
    const String parent = dlx::ExtractFilePath(dlx::ExcludeTrailingPathDelimiter(to));
    ok = (dlx::DirectoryExists(to) || dlx::DirectoryExists(parent) || dlx::ForceDirectories(parent)) &&
         targetFolder.Open(to, TConfinedFolder::TRootRule::rrExact, true) &&
         CopyTree(sourceFolder, from, targetFolder, to);
  }
  if (!ok) throw EInstallerInstallError(FormatText(u"Cannot copy \"%s\" to \"%s\"", {source, target}));
  dlx::Log(u"Copied \"" + source + u"\" to \"" + target + u"\"");
  if (move) DeleteTree(source, source);
}

void TSetupHelper::ExcludeFolder(dlx::TDLXStringList& list, const String& folder) {
  for (int i = list.Count() - 1; i >= 0; --i)
    if (StartsWithText(list.Strings(i), folder)) list.Delete(i);
}

void TSetupHelper::DeleteTree(const String& folder, const String& root) {
  if (!dlx::DirectoryExists(folder)) return;
  SafeDelete(folder, root);
}

std::vector<String> ShortcutFolders() {
  return {GetSpecialFolder(CSIDL_DESKTOP), GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY),
          GetSpecialFolder(CSIDL_STARTMENU), GetSpecialFolder(CSIDL_COMMON_PROGRAMS),
          GetSpecialFolder(CSIDL_COMMON_STARTMENU)};
}

// A portable copy may belong to a standard user: nothing of it is loaded or started elevated.
bool IsPortableCopy() {
  return Installer->HasOption(ioPortable) || Installer->ProductInfo().IsInstalledPortable();
}

void TInstallerUpdateTaskRemoveShellMenu::Execute(dlx::TDLXStringList*) {
  // A portable copy registered nothing; its libraries' unregistration would remove what another
  // copy registered under the same names.
  if (ProductInfoZUVA().IsInstalledPortable()) {
    dlx::Log(u"The copy in \"" + Installer->DestPath() +
             u"\" is portable: its shell menu was never registered");
    return;
  }
  for (const char16_t* name : zuva_names::kShellMenuLibraries) {
    const String library = Installer->DestPath() + name;
    if (!dlx::FileExists(library)) continue;
    if (IsPortableCopy()) {
      dlx::Log(u"Not loaded, it belongs to a portable copy: \"" + library + u"\"");
      continue;
    }
    if (rollback_) rollback_->MarkUnregistered(library);
    try {
      TInstallerActiveX::UnregisterServer(library);
    } catch (const dlx::EDLXException& e) {
      // An installation cannot go on past a library that hangs; a removal does without it.
      if (rollback_) throw;
      dlx::Log(u"Removal goes on without it: " + e.Message());
    }
    if (!rollback_ || !rollback_->HoldAside(library)) SafeDelete(library, Installer->DestPath());
  }
}

void TInstallerUpdateTaskRemoveShortcuts::Execute(dlx::TDLXStringList*) {
  std::vector<String> names = {zuva_names::kUninstallKey};
  if (ProductInfo().GetInstalledVersion() < 4000) names.push_back(zuva_names::kUninstallKeyOld);
  const String dest = Installer->DestPath();
  const String desktop = GetSpecialFolder(CSIDL_DESKTOP);
  const String commonDesktop = GetSpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY);
  const String startMenu = GetSpecialFolder(CSIDL_STARTMENU);
  const String commonPrograms = GetSpecialFolder(CSIDL_COMMON_PROGRAMS);
  const String commonStartMenu = GetSpecialFolder(CSIDL_COMMON_STARTMENU);
  // Only the links of this copy go (another copy's, or a link the user made to something else,
  // stay), each held aside so that a failed installation puts it back.
  auto remove = [&](const String& link, const String& root) {
    String target;
    if (!ReadShellLinkTarget(link, target) || !PathInsideFolder(target, dest)) {
      dlx::Log(u"Shortcut \"" + link + u"\" left alone: it points to \"" + target + u"\", not into \"" +
               dest + u"\"");
      return;
    }
    if (!rollback_ || !rollback_->HoldAsideIn(link, root)) SafeDelete(link, root);
  };
  for (const String& name : names) {
    for (const String& folder : {desktop, commonDesktop})
      if (dlx::FileExists(folder + name + u".lnk")) remove(folder + name + u".lnk", folder);
    for (const String& folder : {startMenu, commonPrograms, commonStartMenu}) {
      const String tree = folder + name + u"\\";
      if (!dlx::DirectoryExists(tree)) continue;
      std::vector<String> links, folders;
      dlx::EnumFiles(tree, u"", dlx::tmAll, true, [&](const String& path) {
        (dlx::IsPathDelimiter(path.back()) ? folders : links).push_back(path);
      });
      for (const String& link : links) remove(link, folder);
      // The folders go only when nothing else is left in them; deepest first.
      folders.push_back(tree);
      std::sort(folders.begin(), folders.end(),
                [](const String& a, const String& b) { return a.size() > b.size(); });
      for (const String& emptied : folders)
        if (!dlx::RemoveDirectory(emptied) && dlx::DirectoryExists(emptied))
          dlx::Log(u"Start-menu folder \"" + emptied + u"\" kept: it holds more than this copy's links");
    }
  }
}

void TInstallerUpdateTaskRemoveUninstallInfo::Execute(dlx::TDLXStringList*) {
  for (const char16_t* name : {zuva_names::kUninstallKeyOld, zuva_names::kUninstallKey}) {
    if (!TInstallerApplicationRepository::BelongsTo(name, Installer->DestPath())) {
      String folder;
      if (TInstallerApplicationRepository::GetInstallPath(name, folder))
        dlx::Log(String(u"Uninstall entry ") + name + u" belongs to another installation: " + folder);
      continue;
    }
    if (TInstallerApplicationRepository::Unregister(name))
      dlx::Log(String(u"Uninstall entry removed: ") + name);
  }
}

void TInstallerUpdateTaskRemoveFromRegistry::Execute(dlx::TDLXStringList*) {
  const String dest = Installer->DestPath();
  if (ProductInfoZUVA().IsInstalledPortable()) {
    dlx::Log(u"The copy in \"" + dest +
             u"\" is portable: it registered nothing, and no uninstall entry is removed");
    return;
  }
  // The program's path is quoted: unquoted, a folder with a blank would let a program planted
  // before the blank run instead.
  const String program = dest + zuva_names::kRegistrar;
  // A removal is best effort: a program that hangs is ended and the removal goes on.
  try {
    if (IsPortableCopy())
      dlx::Log(u"Not started, it belongs to a portable copy: \"" + program + u"\"");
    else if (!ExecuteAndWait(program, u"/REG=U"))
      dlx::Log(u"Cannot start \"" + program + u"\" /REG=U");
  } catch (const dlx::EDLXException& e) {
    dlx::Log(u"Removal goes on without it: " + e.Message());
  }
  const String name = ProductInfo().GetName();
  if (TInstallerApplicationRepository::BelongsTo(name, dest))
    TInstallerApplicationRepository::Unregister(name);
  else
    dlx::Log(u"Uninstall entry " + name + u" left alone: it names another folder than \"" + dest + u"\"");
}

void TInstallerUpdateTaskUpdateConfigs::Execute(dlx::TDLXStringList* deleteList) {
  const int version = ProductInfo().GetInstalledVersion();
  const String& data = profile_.DataPath;
  TSetupHelper::CopyFolder(profile_.OldDataPath, data, false);
  if (deleteList) TSetupHelper::ExcludeFolder(*deleteList, data);

  if (version < 4000) {
    RenameInFolder(Installer->DestPath(), zuva_names::kConfigFileOld, zuva_names::kConfigFile);
    for (const auto& rename : zuva_names::kGeneration3Renames)
      RenameInFolder(data, rename.OldName, rename.NewName);
    for (const char16_t* name : zuva_names::kGeneration3Obsolete) AppendExisting(deleteList, data + name);
  }
  if (version < 4500)
    for (const char16_t* name : zuva_names::kObsoleteSkinFiles)
      AppendExisting(deleteList, Installer->DestPath() + u"Skins\\" + name);
  if (version < 4600) AppendExisting(deleteList, data + zuva_names::kAlbumArtDatabase);
  if (version < 5020) {
    // Album art is rebuilt by the player: nothing here may stop the update.
    try {
      AppendExisting(deleteList, data + zuva_names::kAlbumArtCache);
      RenameInFolder(data, zuva_names::kCustomAlbumArtOld, zuva_names::kCustomAlbumArtNew);
    } catch (const dlx::EDLXException& e) {
      dlx::Log(u"Album-art migration skipped: " + e.Message());
    }
  }
}
