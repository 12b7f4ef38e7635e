#include "product/prepare_action.h"

#include <windows.h>

#include <algorithm>
#include <unordered_set>

#include "core/app_repository.h"
#include "core/code_trust.h"
#include "core/confined_folder.h"
#include "core/errors.h"
#include "core/file_utils.h"
#include "core/installer.h"
#include "core/paths.h"
#include "core/product_info.h"
#include "core/resources.h"
#include "core/safe_delete.h"
#include "core/script/file_list.h"
#include "core/script/install_script.h"
#include "core/texts.h"
#include "lib/file_enum.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/fs.h"
#include "lib/platform/text.h"
#include "lib/win/system_library.h"
#include "product/backup_archive.h"
#include "product/backup_pruning.h"
#include "product/prepare_rollback.h"
#include "product/product_info_zuva.h"
#include "product/product_names.h"
#include "product/run_journal.h"

using dlx::String;

namespace {

constexpr int64_t kBackupLimit = int64_t{2} * 1024 * 1024 * 1024;

// "yyyy.MM.dd hh-mm-ss" of the local time.
String BackupTimeStamp() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[32];
  swprintf(text, 32, L"%04u.%02u.%02u %02u-%02u-%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
           now.wMinute, now.wSecond);
  return dlx::FromW(text);
}

// Deletes every line equal, ignoring case, to an earlier one; the first stays. (The list's own
// RemoveDuplicates compares each line with all others, far too slow for thousands of files.)
void RemoveDuplicatePaths(dlx::TDLXStringList& list) {
  std::unordered_set<String> seen;
  seen.reserve(static_cast<size_t>(list.Count()));
  dlx::TDLXStringList unique;
  for (int i = 0; i < list.Count(); ++i)
    if (seen.insert(dlx::UpperCaseText(list.Strings(i))).second) unique.Add(list.Strings(i));
  if (unique.Count() != list.Count()) list.Assign(unique);
}

// One of the files that are deleted but never archived.
bool IsNotBackedUp(const String& path) {
  const String name = dlx::ExtractFileName(path);
  for (const char16_t* notBackedUp : zuva_names::kNotBackedUpFiles)
    if (dlx::SameText(name, notBackedUp)) return true;
  return false;
}

}  // namespace

TInstallerActionPrepare::TInstallerActionPrepare() = default;
TInstallerActionPrepare::~TInstallerActionPrepare() = default;

void TInstallerActionPrepare::ReportPosition() {
  ++progressPosition_;
  if (progressTotal_ > 0) SetProgress(MulDiv(progressPosition_, 100, progressTotal_));
}

void TInstallerActionPrepare::Execute() {
  const String dest = Installer->DestPath();
  const bool update = Installer->HasOption(ioUpdate);
  const int installedVersion = ProductInfo().GetInstalledVersion();
  progressPosition_ = 0;
  dlx::TDLXStringList deleteList;

  TInstallerProfileHelper::Populate(profiles_);

  if (ProductInfoZUVA().ReplacesIntegration()) {
    tasks_.push_back(std::make_unique<TInstallerUpdateTaskRemoveShellMenu>());
    tasks_.push_back(std::make_unique<TInstallerUpdateTaskRemoveUninstallInfo>());
    tasks_.push_back(std::make_unique<TInstallerUpdateTaskRemoveShortcuts>());
  }
  if (update)
    for (int i = 0; i < profiles_.Count(); ++i)
      tasks_.push_back(std::make_unique<TInstallerUpdateTaskUpdateConfigs>(profiles_.Items(i)));

  // Before anything changes: what is there now, so that a failed run can bring it back.
  RunJournal().Reset();
  rollback_ = std::make_shared<TPrepareRollback>(dest);
  for (int i = 0; i < profiles_.Count(); ++i) {
    rollback_->AddDataFolder(profiles_.Items(i).OldDataPath);
    rollback_->AddDataFolder(profiles_.Items(i).DataPath);
  }
  rollback_->CaptureRegistry(
      {ProductInfo().GetName(), zuva_names::kUninstallKey, zuva_names::kUninstallKeyOld});
  rollback_->CaptureFiles();
  // The backup only adds this run's archive, which a rollback removes again: it is written while
  // the product package is still being decoded. Every change after it waits for the package.
  const bool backupFirst = !Installer->HasOption(ioNoBackup) && dlx::DirectoryExists(dest);
  if (!backupFirst) Resources().WaitForProduct();
  // A new folder outside the program-files folders would inherit what its parent allows (users may
  // write into C:\\ or a folder of their own): it gets the program-files folders' rules, so that
  // later elevated runs can trust the code in it. A portable copy stays its owner's.
  if (!Installer->HasOption(ioPortable) && !dlx::DirectoryExists(dest)) {
    const String folder = CanonicalPath(dest);
    const auto programFiles = ProgramFilesFolders();
    if (std::none_of(programFiles.begin(), programFiles.end(),
                     [&](const String& root) { return IsPathInside(folder, root, false); })) {
      ForceTargetFolder(dest);
      ApplyProgramFilesSecurity(dest);
    }
  }
  auto rollback = rollback_;
  RunRollback() = rollback_;
  RunJournal().Record(
      u"installation into " + dest,
      [rollback](dlx::TDLXStringList& report) {
        rollback->Undo(report);
        RunRollback().reset();
      },
      [rollback] {
        rollback->Commit();
        RunRollback().reset();
      });
  for (const auto& task : tasks_) task->SetRollback(rollback_.get());

  Backup(deleteList);
  if (backupFirst) {
    try {
      Resources().WaitForProduct();
    } catch (...) {
      // Nothing has changed yet: the archive of a run that cannot go on is nobody's backup.
      if (!writtenArchive_.empty()) SafeDelete(writtenArchive_, dest + zuva_names::kBackupFolder);
      throw;
    }
  }
  // Without an update nothing migrates the users' data: it is archived, and stays where it is.
  if (!update)
    for (int i = 0; i < profiles_.Count(); ++i)
      TSetupHelper::ExcludeFolder(deleteList, profiles_.Items(i).OldDataPath);
  // Before the first change to the previous installation, on the disk.
  rollback_->Persist();

  if (update) {
    std::vector<String> kept = {dest + u"Icons\\", dest + u"System\\Data\\", dest + u"System\\Encoders\\",
                                dest + u"Skins\\"};
    if (installedVersion >= 3600) kept.push_back(dest + u"Plugins\\");
    for (const String& folder : kept) TSetupHelper::ExcludeFolder(deleteList, folder);
  }

  // Old backups: the three newest stay, this run's among them.
  dlx::TDLXStringList found;
  dlx::EnumFiles(dest + zuva_names::kBackupFolder, u"*.zip;", found);
  std::vector<String> archives;
  for (int i = 0; i < found.Count(); ++i) archives.push_back(found.Strings(i));
  for (const String& archive : ArchivesToPrune(archives, writtenArchive_, 3)) {
    deleteList.Add(archive);
    prunedArchives_.insert(dlx::UpperCaseText(archive));
  }

  for (const auto& folder : zuva_names::kObsoletePluginFolders)
    if (folder.BelowVersion == 0 || installedVersion < folder.BelowVersion)
      TInstallerFileList::FindFiles(dest + u"Plugins\\" + folder.Name + u"\\", u"", deleteList);
  const String codec = dlx::SystemFolder() + zuva_names::kObsoleteCodecLibrary;
  if (dlx::FileExists(codec)) deleteList.Add(codec);

  const TInstallerScriptGroup& components = Script().Components();
  for (int i = 0; i < components.Count(); ++i)
    deleteList.Add(Resources().ExpandPath(components.Items(i)->Name));
  RemoveDuplicatePaths(deleteList);

  ReportStatus(GetCommonText(u"A5"));
  rollback_->MarkChanged();
  for (const auto& task : tasks_) {
    task->Execute(&deleteList);
    ReportPosition();
  }

  ReportStatus(GetCommonText(u"A3"));
  DeleteListed(deleteList);
}

void TInstallerActionPrepare::Backup(dlx::TDLXStringList& deleteList) {
  progressTotal_ = static_cast<int>(tasks_.size());
  if (Installer->HasOption(ioNoBackup)) return;
  const String dest = Installer->DestPath();
  const String backupFolder = dest + zuva_names::kBackupFolder;
  TInstallerFileList files;
  if (Installer->HasOption(ioPortable)) {
    files.AddFolder(dest, backupFolder, u"");
  } else {
    for (int i = 0; i < profiles_.Count(); ++i) {
      const TInstallerProfileInfo& profile = profiles_.Items(i);
      files.AddFolder(profile.OldDataPath, backupFolder, u"Profiles\\" + profile.UserName + u"\\");
    }
    files.AddFolder(dest, backupFolder, u"Program\\");
  }
  progressTotal_ += files.Count();

  for (int i = 0; i < files.Count(); ++i) deleteList.Add(files.Items(i)->FileName);
  for (const char16_t* name : zuva_names::kNotBackedUpFiles) files.RemoveByFileName(name);

  // The run's own log is neither archived nor deleted: the run is still writing it.
  std::vector<const TInstallerFileListItem*> items;
  for (int i = 0; i < files.Count(); ++i) {
    const String& file = files.Items(i)->FileName;
    if (IsRunLog(file)) continue;
    // A file link would put its target, any file this run may read, into the archive.
    if (IsReparsePoint(file)) {
      dlx::Log(u"Not backed up, it is a link: \"" + file + u"\"");
      continue;
    }
    items.push_back(files.Items(i));
  }

  ReportStatus(GetCommonText(u"A1"));
  if (items.empty()) return;
  int64_t total = 0;
  for (const TInstallerFileListItem* item : items)
    total += std::max<int64_t>(0, dlx::FileSize(item->FileName));
  if (total >= kBackupLimit) throw EInstallerBackupError(CommonText(u"E13"));

  ForceTargetFolder(backupFolder);
  const String archiveName =
      backupFolder + u"z Before install " + ProductInfo().GetVersion() + u" [" + BackupTimeStamp() + u"].zip";
  dlx::Log(u"Backup: " + dlx::IntToStr(static_cast<int64_t>(items.size())) + u" files, " +
           dlx::IntToStr(total) + u" bytes, into " + archiveName);
  std::vector<TBackupItem> entries;
  entries.reserve(items.size());
  for (const TInstallerFileListItem* item : items) entries.push_back({item->FileName, item->TargetName});
  std::vector<TBackupEntryRecord> records;
  {
    TBackupArchiveWriter archive(archiveName);
    try {
      records = archive.AddAll(entries, [this](size_t) { ReportPosition(); });
    } catch (const EBackupItemError& e) {
      const String& file = entries[e.Index].SourcePath;
      throw EInstallerBackupError(CommonText(u"E8", {file, dlx::IntToStr(dlx::FileSize(file)), e.Message(),
                                                     dlx::platform::ErrorMessage(e.Code())}));
    }
    archive.Close();
  }
  dlx::Log(u"Backup written: " + dlx::IntToStr(dlx::FileSize(archiveName)) + u" bytes, Deflate level " +
           dlx::IntToStr(kBackupCompressionLevel));
  // Nothing is deleted before the backup is proven.
  VerifyBackupArchive(archiveName, records);
  writtenArchive_ = archiveName;
  rollback_->SetBackup(archiveName, records);
}

void TInstallerActionPrepare::DeleteListed(dlx::TDLXStringList& deleteList) {
  int heldAside = 0;
  // Grouped by the folder each deletion is confined to, in list order within each group.
  std::vector<String> roots;
  std::vector<std::vector<String>> groups;
  for (int i = 0; i < deleteList.Count(); ++i) {
    const String& path = deleteList.Strings(i);
    if (IsRunLog(path)) continue;
    const String root = rollback_->RootOf(path);
    if (root.empty()) {
      dlx::Log(u"Not deleted, outside the folders of the installation: " + path);
      continue;
    }
    // Old backups and the files that are never archived cannot come back from this run's
    // archive: they are held aside instead, until the next restart.
    const bool holdable = IsNotBackedUp(path) || prunedArchives_.count(dlx::UpperCaseText(path)) != 0;
    if (holdable && rollback_->HoldAside(path)) {
      ++heldAside;
      continue;
    }
    size_t group = 0;
    while (group < roots.size() && roots[group] != root) ++group;
    if (group == roots.size()) {
      roots.push_back(root);
      groups.emplace_back();
    }
    groups[group].push_back(path);
  }
  int deleted = heldAside;
  for (size_t group = 0; group < roots.size(); ++group)
    for (TSafeDeleteResult result : SafeDeleteAll(groups[group], roots[group]))
      if (result == TSafeDeleteResult::sdDeleted) ++deleted;
  rollback_->CountDeleted(deleted);
  // The folders that directly held a listed file, deepest first, when they are empty now.
  dlx::TDLXStringList folders;
  for (int i = 0; i < deleteList.Count(); ++i) folders.Add(dlx::ExtractFilePath(deleteList.Strings(i)));
  RemoveDuplicatePaths(folders);
  folders.Sort();
  for (int i = folders.Count() - 1; i >= 0; --i)
    if (rollback_->MayRemoveFolder(folders.Strings(i)) && rollback_->RemoveEmptyFolder(folders.Strings(i)))
      dlx::Log(u"Removed empty folder \"" + folders.Strings(i) + u"\"");
}

void TInstallerActionPrepare::BuildSummary(TInstallerSummaryBuilder& builder) {
  builder.SetHeaderText(u"PageSetup", u"LB1");
  builder.AddLine(Installer->DestPath());
  builder.SetHeaderText(u"PageSetup", u"Title");
  if (Installer->HasOption(ioUpdate))
    builder.AddLineText(u"PageSetup", u"CB1");
  else if (Installer->HasOption(ioPortable))
    builder.AddLineText(u"PageSetup", u"CB3");
  else
    builder.AddLineText(u"PageSetup", u"CB2");
  if (!Installer->HasOption(ioNoBackup)) builder.AddLineText(u"PageSetup", u"CB4");
  if (ProductInfoZUVA().HasPreviousInstallation()) {
    builder.SetHeaderText(u"PageSetup", u"Title");
    builder.AddLineText(u"PageSetup", u"W3");
  }
}
