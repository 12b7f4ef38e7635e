#include "product/uninstall_files_action.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <unordered_set>
#include <vector>

#include "core/confined_folder.h"
#include "core/installer.h"
#include "core/paths.h"
#include "core/resources.h"
#include "core/safe_delete.h"
#include "core/script/uninstall_log.h"
#include "core/uninstall_info.h"
#include "lib/file_enum.h"
#include "lib/file_system.h"
#include "lib/ini_file.h"
#include "lib/log.h"
#include "lib/platform/text.h"
#include "product/product_names.h"
#include "product/profiles.h"
#include "product/user_accounts.h"

using dlx::String;

namespace {

const char16_t kCommon[] = u"Common";

// A drive path ("C:..."), a network path or a path from the drive's root: not relative to the
// installation folder.
bool IsAbsolute(const String& path) {
  return (path.size() >= 2 && path[1] == u':') || (!path.empty() && (path[0] == u'\\' || path[0] == u'/'));
}

}  // namespace

TInstallerActionUninstallFiles::TInstallerActionUninstallFiles()
    : files_(std::make_unique<dlx::TDLXStringList>()), folders_(std::make_unique<dlx::TDLXStringList>()) {}

TInstallerActionUninstallFiles::~TInstallerActionUninstallFiles() = default;

String TInstallerActionUninstallFiles::FolderRoot(int index) const {
  const auto root = std::static_pointer_cast<String>(folders_->Interfaces(index));
  return root ? *root : String();
}

void TInstallerActionUninstallFiles::AddFolder(const String& path, TFolderMark mark, const String& root) {
  folders_->Add(path, mark, std::make_shared<String>(root));
}

void TInstallerActionUninstallFiles::CreateFileList() {
  files_->Clear();
  const String dest = Installer->DestPath();
  const String root = CanonicalPath(dest);
  dlx::TDLXIniFile log;
  log.LoadFromStream(*Resources().GetFile(kUninstallLogName));
  std::unordered_set<String> listed;
  for (const String& entry : UninstallLogEntries(log, kUninstallSection)) {
    if (entry.empty()) continue;
    const String path = CanonicalPath(IsAbsolute(entry) ? entry : dest + entry);
    if (root.empty() || path.empty() || !IsPathInside(path, root, false)) {
      dlx::Log(u"Uninstall log entry \"" + entry + u"\" lies outside the installation folder \"" + dest +
               u"\": skipped, not deleted");
      continue;
    }
    // Each file once, however its name is written.
    if (listed.insert(dlx::UpperCaseText(path)).second) files_->Add(path);
  }
}

std::vector<TInstallerActionUninstallFiles::TUserDataFolder>
TInstallerActionUninstallFiles::UserDataFolders() {
  std::vector<TUserDataFolder> folders;
  const int version = ProductInfo().GetVersionId();
  const std::unique_ptr<TDLXUserAccountInfoList> accounts = TDLXUserAccounts::Populate();
  for (int i = 0; i < accounts->Count(); ++i) {
    const TDLXUserAccountInfo& account = accounts->Items(i);
    const String data = TInstallerProfileHelper::GetDataPath(&account, version);
    if (dlx::DirectoryExists(data) && !TInstallerProfileHelper::IsReachedWithoutLinks(data)) {
      dlx::Log(u"The data folder \"" + data + u"\" of " + account.UserName +
               u" is a link or is reached through one; the user's data is skipped");
      continue;
    }
    folders.push_back({TInstallerProfileHelper::GetDataPath(&account, version), account.AppDataPath});
  }
  return folders;
}

void TInstallerActionUninstallFiles::CreateFolderList() {
  folders_->Clear();
  const String dest = Installer->DestPath();
  dlx::EnumFiles(dest, u"", dlx::tmFolders, true, [&](const String& folder) {
    // A linked folder is no folder of the installation; it is neither entered nor removed here.
    const int64_t attributes = dlx::GetFileAttributes(folder);
    if (attributes >= 0 && (attributes & dlx::faReparsePoint)) return;
    AddFolder(dlx::IncludeTrailingPathDelimiter(folder), fmRemoveIfEmpty, dest);
  });
  const bool removeBackups = Settings().ReadBool(kCommon, u"RemoveBackups", Installer->HasOption(ioAuto));
  const bool removeContent = Settings().ReadBool(kCommon, u"RemoveContent", false);
  if (removeBackups) AddFolder(dest + zuva_names::kBackupFolder, fmDeleteWithContents, dest);
  if (!removeContent) return;
  if (removeBackups)
    AddFolder(dest, fmDeleteWithContents, dest);
  else
    AddFolder(dest + zuva_names::kPortableDataFolder, fmDeleteWithContents, dest);
  dlx::TDLXIniFile config(dest + zuva_names::kConfigFile);
  if (!config.ReadBool(u"System", u"UserMode", false)) return;
  for (const TUserDataFolder& data : UserDataFolders()) AddFolder(data.Path, fmDeleteWithContents, data.Root);
}

bool TInstallerActionUninstallFiles::IsRunLog(const String& path) const {
  return !runLog_.empty() && SamePath(CanonicalPath(path), runLog_);
}

void TInstallerActionUninstallFiles::RemoveIfEmpty(const String& folder) {
  // Through a handle opened from the installation folder down: a folder swapped for a link since
  // the list was made is neither followed nor removed.
  TConfinedFolder dest;
  if (!dest.Open(Installer->DestPath(), TConfinedFolder::TRootRule::rrNoLink)) return;
  // Only an empty folder can be removed: anything a user added keeps it.
  if (dest.RemoveEmptyFolder(folder)) dlx::Log(u"Removed the empty folder \"" + folder + u"\"");
}

void TInstallerActionUninstallFiles::DeleteWithContents(const String& folder, const String& root) {
  const String canonical = CanonicalPath(folder);
  if (runLog_.empty() || !IsPathInside(runLog_, canonical, false)) {
    SafeDelete(folder, root);
    return;
  }
  // The run's log lies inside: everything else goes, the log and the folders holding it stay.
  dlx::Log(u"\"" + folder + u"\" holds the run's log \"" + runLog_ + u"\", which is kept");
  std::vector<String> entries;
  dlx::EnumFiles(dlx::IncludeTrailingPathDelimiter(folder), u"", dlx::tmAll, false,
                 [&](const String& path) { entries.push_back(path); });
  for (const String& entry : entries) {
    if (IsRunLog(entry)) continue;
    const int64_t attributes = dlx::GetFileAttributes(entry);
    const bool linkOrFile =
        attributes < 0 || !(attributes & dlx::faDirectory) || (attributes & dlx::faReparsePoint);
    if (!linkOrFile && IsPathInside(runLog_, CanonicalPath(entry), false))
      DeleteWithContents(entry, root);
    else
      SafeDelete(entry, root);
  }
}

void TInstallerActionUninstallFiles::Execute() {
  runLog_ = dlx::TDLXLog::IsOpen() ? CanonicalPath(dlx::TDLXLog::FileName()) : String();
  CreateFolderList();
  CreateFileList();
  ReportStatus(GetCommonText(u"A9"));
  const int total = files_->Count() + folders_->Count();
  int done = 0;
  const auto advance = [&] { SetProgress(static_cast<int>(std::lround(++done * 100.0 / total))); };
  const String dest = Installer->DestPath();
  for (int i = 0; i < files_->Count(); ++i) {
    const String& file = files_->Strings(i);
    if (IsRunLog(file))
      dlx::Log(u"\"" + file + u"\" is the run's log: kept");
    else
      SafeDelete(file, dest);
    advance();
  }
  for (int i = 0; i < folders_->Count(); ++i) {
    if (folders_->Objects(i) == fmRemoveIfEmpty)
      RemoveIfEmpty(folders_->Strings(i));
    else
      DeleteWithContents(folders_->Strings(i), FolderRoot(i));
    advance();
  }
}
