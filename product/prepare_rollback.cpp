#include "product/prepare_rollback.h"

#include <windows.h>

#include <algorithm>
#include <unordered_map>

#include "core/activex.h"
#include "core/app_repository.h"
#include "core/confined_folder.h"
#include "core/entry.h"
#include "core/errors.h"
#include "core/file_utils.h"
#include "core/paths.h"
#include "core/safe_delete.h"
#include "core/texts.h"
#include "lib/file_enum.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/text.h"
#include "lib/win/handles.h"
#include "lib/win/system_library.h"
#include "product/product_names.h"

using dlx::String;

namespace {

String Key(const String& path) {
  return dlx::UpperCaseText(path);
}

// Entry names with either separator, as one key.
String EntryKey(dlx::StringView name) {
  String key = dlx::UpperCaseText(name);
  std::replace(key.begin(), key.end(), u'/', u'\\');
  while (!key.empty() && key.front() == u'\\') key.erase(0, 1);
  return key;
}

}  // namespace

bool IsRunLog(const String& path) {
  return dlx::TDLXLog::IsOpen() &&
         dlx::SameText(CanonicalPath(path), CanonicalPath(dlx::TDLXLog::FileName()));
}

std::shared_ptr<TPrepareRollback>& RunRollback() {
  static std::shared_ptr<TPrepareRollback> rollback;
  return rollback;
}

bool PathInsideFolder(const String& path, const String& folder) {
  if (path.empty() || folder.empty()) return false;
  return IsPathInside(CanonicalPath(path), CanonicalPath(folder), false);
}

TPrepareRollback::TPrepareRollback(const String& dest)
    : dest_(dest), backupFolder_(dest + zuva_names::kBackupFolder) {}

void TPrepareRollback::AddDataFolder(const String& folder) {
  for (const String& known : dataFolders_)
    if (dlx::SameText(known, folder)) return;
  dataFolders_.push_back(folder);
}

void TPrepareRollback::CaptureRegistry(std::initializer_list<String> names) {
  std::vector<String> seen;
  for (const String& name : names) {
    if (std::any_of(seen.begin(), seen.end(), [&](const String& s) { return dlx::SameText(s, name); }))
      continue;
    seen.push_back(name);
    registry_.push_back(
        TRegistrySnapshot::Capture(HKEY_LOCAL_MACHINE, TInstallerApplicationRepository::KeyPath(name)));
  }
}

void TPrepareRollback::CaptureFiles() {
  auto capture = [this](const String& root) {
    if (!dlx::DirectoryExists(root)) return;
    existing_.insert(Key(root));
    dlx::EnumFiles(root, u"", dlx::tmAll, true, [this](const String& path) { existing_.insert(Key(path)); });
  };
  capture(dest_);
  for (const String& folder : dataFolders_) capture(folder);
}

void TPrepareRollback::SetBackup(const String& archive, const std::vector<TBackupEntryRecord>& records) {
  archive_ = archive;
  records_ = records;
}

bool TPrepareRollback::MayDelete(const String& path) const {
  if (PathInsideFolder(path, dest_)) return true;
  for (const String& folder : dataFolders_)
    if (PathInsideFolder(path, folder)) return true;
  return SamePath(CanonicalPath(path),
                  CanonicalPath(dlx::SystemFolder() + zuva_names::kObsoleteCodecLibrary));
}

bool TPrepareRollback::MayRemoveFolder(const String& folder) const {
  const String canonical = CanonicalPath(folder);
  if (IsProtectedFolder(canonical)) return false;
  auto same = [&](const String& root) { return SamePath(canonical, CanonicalPath(root)); };
  if (same(dest_) || MayDelete(folder)) return true;
  return std::any_of(dataFolders_.begin(), dataFolders_.end(), same);
}

String TPrepareRollback::RootOf(const String& path) const {
  if (PathInsideFolder(path, dest_)) return dest_;
  for (const String& folder : dataFolders_)
    if (PathInsideFolder(path, folder)) return folder;
  if (MayDelete(path)) return dlx::SystemFolder();
  return String();
}

String TPrepareRollback::FolderRootOf(const String& folder) const {
  const String canonical = CanonicalPath(folder);
  if (SamePath(canonical, CanonicalPath(dest_))) return dest_;
  for (const String& data : dataFolders_)
    if (SamePath(canonical, CanonicalPath(data))) return data;
  return RootOf(folder);
}

namespace {

// The installation folder may be reached through links an administrator made; a user's data
// folder must be reached through none.
TConfinedFolder::TRootRule RuleFor(const String& root, const String& dest) {
  return SamePath(CanonicalPath(root), CanonicalPath(dest)) ? TConfinedFolder::TRootRule::rrNoLink
                                                            : TConfinedFolder::TRootRule::rrExact;
}

}  // namespace

bool TPrepareRollback::RemoveEmptyFolder(const String& folder) const {
  const String root = FolderRootOf(folder);
  TConfinedFolder confined;
  return !root.empty() && confined.Open(root, RuleFor(root, dest_)) && confined.RemoveEmptyFolder(folder);
}

bool TPrepareRollback::HoldAside(const String& path) {
  const String root = RootOf(path);
  return !root.empty() && MoveAside(path, root);
}

bool TPrepareRollback::HoldAsideIn(const String& path, const String& root) {
  return PathInsideFolder(path, root) && MoveAside(path, root);
}

bool TPrepareRollback::MoveAside(const String& path, const String& root) {
  // Checked and moved through one handle: a link swapped in on the way is not followed, so no
  // other file is ever taken away (and deleted at the next restart) in its place.
  TConfinedFolder folder;
  if (!folder.Open(root, RuleFor(root, dest_))) return false;
  const dlx::TScopedHandle file = folder.OpenFile(path, DELETE);
  if (!file) return false;
  try {
    if (holdFolder_.empty()) holdFolder_ = CreatePrivateFolder(AdminTempFolder());
  } catch (const dlx::EDLXException& e) {
    dlx::Log(u"No folder to hold files aside in: " + e.Message());
    return false;
  }
  const String target =
      holdFolder_ + dlx::IntToStr(static_cast<int64_t>(held_.size())) + u"_" + dlx::ExtractFileName(path);
  // Recorded first: a run killed right after the move still knows where the file went.
  Note({u"held", path, target});
  // Within one volume only; a file on another volume is deleted instead (the caller's part).
  if (!RenameByHandle(file.Get(), CanonicalPath(target), false)) {
    dlx::Log(u"Cannot hold \"" + path + u"\" aside in \"" + target + u"\" (" +
             dlx::IntToStr(static_cast<int64_t>(GetLastError())) + u")");
    return false;
  }
  // Gone for good at the next restart, unless the rollback takes it back first.
  MoveFileExW(dlx::W(dlx::ApplyLongPathRule(target)), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  // And the folder after the files (restart operations run in the order they were made).
  MoveFileExW(dlx::W(dlx::ExcludeTrailingPathDelimiter(holdFolder_)), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  held_.push_back({path, target, root});
  dlx::Log(u"Deleted \"" + path + u"\" (held in \"" + target + u"\" until the run ends)");
  return true;
}

void TPrepareRollback::MarkChanged() {
  changed_ = true;
  Note({u"changed"});
}

void TPrepareRollback::CountDeleted(int count) {
  deleted_ += count;
  Note({u"deleted", dlx::IntToStr(deleted_)});
}

void TPrepareRollback::MarkUnregistered(const String& library) {
  Note({u"unregistered", library});
  unregistered_.push_back(library);
}

void TPrepareRollback::MarkIntegrated(const String& program) {
  Note({u"integrated", program});
  integrated_ = program;
}

void TPrepareRollback::Note(const std::vector<String>& record) {
  if (journal_ && !journal_->Append(record))
    throw EInstallerInstallError(CommonText(u"E11", {TJournalFile::PathFor(dest_)}));
}

void TPrepareRollback::Persist() {
  // An empty or new folder has nothing to bring back that removing this run's files would not.
  const String destKey = Key(dest_);
  if (!std::any_of(existing_.begin(), existing_.end(), [&](const String& path) {
        return path.size() > destKey.size() && path.compare(0, destKey.size(), destKey) == 0;
      }))
    return;
  // The archive must survive a power loss as surely as the journal that points to it.
  if (!archive_.empty()) {
    dlx::TScopedHandle archive(CreateFileW(dlx::W(dlx::ApplyLongPathRule(archive_)), GENERIC_WRITE,
                                           FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                           nullptr));
    if (!archive || !FlushFileBuffers(archive.Get()))
      dlx::Log(u"Cannot flush the backup \"" + archive_ + u"\" (" +
               dlx::IntToStr(static_cast<int64_t>(GetLastError())) + u")");
  }
  dlx::ForceDirectories(backupFolder_);
  auto journal = std::make_unique<TJournalFile>();
  if (!journal->Create(TJournalFile::PathFor(dest_)))
    throw EInstallerInstallError(CommonText(u"E11", {TJournalFile::PathFor(dest_)}));
  journal->Append({u"install", dest_}, false);
  for (const String& folder : dataFolders_) journal->Append({u"datafolder", folder}, false);
  for (const String& path : existing_) journal->Append({u"known", path}, false);
  for (const TRegistrySnapshot& snapshot : registry_) {
    journal->Append({u"registry", snapshot.Path(), snapshot.Exists() ? u"1" : u"0"}, false);
    for (const auto& record : snapshot.Records()) journal->Append(record, false);
  }
  if (!archive_.empty()) {
    journal->Append({u"backup", archive_}, false);
    for (const TBackupEntryRecord& record : records_)
      journal->Append({u"entry", record.EntryName, record.SourcePath}, false);
  }
  journal_ = std::move(journal);
  Note({u"ready"});
  dlx::Log(u"Journal written: " + TJournalFile::PathFor(dest_));
}

void TPrepareRollback::Commit() {
  if (!journal_) return;
  RemoveJournal();
  dlx::Log(u"Journal removed: the run completed");
}

void TPrepareRollback::RemoveJournal() {
  journal_->Remove();
  journal_.reset();
  // The backup folder made only for the journal goes with it.
  if (!Known(backupFolder_)) dlx::RemoveDirectory(backupFolder_);
}

bool TPrepareRollback::Known(const String& path) const {
  return existing_.count(Key(path)) != 0;
}

void TPrepareRollback::RemoveCreated(const String& root, dlx::TDLXStringList& report) {
  if (!dlx::DirectoryExists(root)) return;
  std::vector<String> folders;
  int failed = 0;
  dlx::EnumFiles(root, u"", dlx::tmAll, true, [&](const String& path) {
    if (Known(path) || PathInsideFolder(path, backupFolder_) || dlx::SameText(path, backupFolder_) ||
        IsRunLog(path))
      return;
    if (dlx::IsPathDelimiter(path.back())) {
      folders.push_back(path);
      return;
    }
    if (SafeDelete(path, root) != TSafeDeleteResult::sdDeleted) ++failed;
  });
  if (!Known(root)) folders.push_back(root);
  // Deepest first: a folder's path is longer than its parent's.
  std::sort(folders.begin(), folders.end(),
            [](const String& a, const String& b) { return a.size() > b.size(); });
  TConfinedFolder confined;
  if (!confined.Open(root, RuleFor(root, dest_))) return;
  for (const String& folder : folders)
    if (confined.RemoveEmptyFolder(folder)) dlx::Log(u"Rollback: removed folder \"" + folder + u"\"");
  if (failed) report.Add(CommonText(u"R5", {dlx::IntToStr(failed), root}));
}

std::shared_ptr<TPrepareRollback> TPrepareRollback::Load(const String& dest,
                                                         const std::vector<String>& dataFolders,
                                                         const std::vector<String>& linkFolders,
                                                         const std::vector<String>& uninstallNames) {
  const String path = TJournalFile::PathFor(dest);
  std::vector<TJournalRecord> records;
  if (!TJournalFile::Read(path, records)) return nullptr;
  auto rollback = std::make_shared<TPrepareRollback>(dest);
  rollback->journal_ = std::make_unique<TJournalFile>();
  rollback->journal_->Adopt(path);
  auto refuse = [](const TJournalRecord& record) {
    String text;
    for (const String& field : record) text += (text.empty() ? u"" : u" ") + field;
    dlx::Log(u"Journal record left out, it reaches outside the installation: " + text);
  };
  auto oneOf = [](const String& path, const std::vector<String>& folders) {
    return std::any_of(folders.begin(), folders.end(),
                       [&](const String& f) { return SamePath(CanonicalPath(path), CanonicalPath(f)); });
  };
  std::vector<String> uninstallKeys;
  for (const String& name : uninstallNames)
    uninstallKeys.push_back(TInstallerApplicationRepository::KeyPath(name));
  bool ready = false;
  bool destSeen = false;
  for (size_t i = 0; i < records.size(); ++i) {
    const TJournalRecord& record = records[i];
    const String& kind = record[0];
    const size_t fields = record.size();
    if (kind == u"install" && fields == 2) {
      destSeen = SamePath(CanonicalPath(record[1]), CanonicalPath(dest));
      if (!destSeen) {
        dlx::Log(u"The journal \"" + path + u"\" belongs to \"" + record[1] + u"\", not to this folder");
        return nullptr;
      }
    } else if (kind == u"datafolder" && fields == 2) {
      if (oneOf(record[1], dataFolders))
        rollback->AddDataFolder(record[1]);
      else
        refuse(record);
    } else if (kind == u"known" && fields == 2) {
      rollback->existing_.insert(Key(record[1]));
    } else if (kind == u"registry" && fields == 3) {
      std::vector<TJournalRecord> contents;
      while (i + 1 < records.size() && (records[i + 1][0] == u"regkey" || records[i + 1][0] == u"regvalue"))
        contents.push_back(records[++i]);
      const bool allowed = std::any_of(uninstallKeys.begin(), uninstallKeys.end(),
                                       [&](const String& key) { return dlx::SameText(key, record[1]); });
      TRegistrySnapshot snapshot;
      if (!allowed) {
        refuse(record);
      } else if (record[2] == u"0") {
        rollback->registry_.push_back(TRegistrySnapshot::Missing(HKEY_LOCAL_MACHINE, record[1]));
      } else if (TRegistrySnapshot::FromRecords(HKEY_LOCAL_MACHINE, record[1], contents, snapshot)) {
        rollback->registry_.push_back(std::move(snapshot));
      } else {
        dlx::Log(u"Journal: the copy of \"" + record[1] + u"\" is damaged; the key is left as it is");
      }
    } else if (kind == u"backup" && fields == 2) {
      if (PathInsideFolder(record[1], rollback->backupFolder_))
        rollback->archive_ = record[1];
      else
        refuse(record);
    } else if (kind == u"entry" && fields == 3) {
      if (!rollback->RootOf(record[2]).empty())
        rollback->records_.push_back({record[2], record[1], 0, 0});
      else
        refuse(record);
    } else if (kind == u"ready" && fields == 1) {
      ready = true;
    } else if (kind == u"changed" && fields == 1) {
      rollback->changed_ = true;
    } else if (kind == u"deleted" && fields == 2) {
      int64_t count = 0;
      if (dlx::TryStrToInt(record[1], count)) rollback->deleted_ = static_cast<int>(count);
    } else if (kind == u"held" && fields == 3) {
      String root = rollback->RootOf(record[1]);
      for (const String& folder : linkFolders)
        if (root.empty() && PathInsideFolder(record[1], folder)) root = folder;
      if (!root.empty() && PathInsideFolder(record[2], AdminTempFolder()))
        rollback->held_.push_back({record[1], record[2], root});
      else
        refuse(record);
    } else if (kind == u"unregistered" && fields == 2) {
      if (PathInsideFolder(record[1], dest))
        rollback->unregistered_.push_back(record[1]);
      else
        refuse(record);
    } else if (kind == u"integrated" && fields == 2) {
      if (SamePath(CanonicalPath(record[1]), CanonicalPath(dest + zuva_names::kRegistrar)))
        rollback->integrated_ = record[1];
      else
        refuse(record);
    } else {
      refuse(record);
    }
  }
  if (!destSeen) return nullptr;
  // Cut off while it was being written: the run had not changed anything yet.
  if (!ready) {
    dlx::Log(u"The journal \"" + path + u"\" is incomplete: its run had changed nothing yet");
    rollback->changed_ = false;
    rollback->held_.clear();
  }
  return rollback;
}

void TPrepareRollback::Undo(dlx::TDLXStringList& report) {
  if (!integrated_.empty()) {
    // The integration program undoes its own registrations, so it runs before the files go.
    try {
      if (dlx::FileExists(integrated_)) ExecuteAndWait(integrated_, u"/REG=U");
    } catch (const dlx::EDLXException& e) {
      report.Add(CommonText(u"R9", {e.Message()}));
    }
  }
  RemoveCreated(dest_, report);
  for (const String& folder : dataFolders_) RemoveCreated(folder, report);

  if (changed_ && !archive_.empty()) {
    std::unordered_map<String, String> sources;
    for (const TBackupEntryRecord& record : records_) sources[EntryKey(record.EntryName)] = record.SourcePath;
    dlx::TDLXStringList failures;
    const int restored = RestoreBackupArchive(
        archive_,
        [&](const String& name) {
          const auto found = sources.find(EntryKey(name));
          return found == sources.end() ? String() : found->second;
        },
        failures,
        [this](const String& path) {
          const String root = RootOf(path);
          return TRestoreRoot{root,
                              !root.empty() && RuleFor(root, dest_) == TConfinedFolder::TRootRule::rrExact};
        });
    if (failures.Count() == 0) {
      report.Add(CommonText(u"R1", {archive_, dlx::IntToStr(restored)}));
    } else {
      report.Add(CommonText(u"R2", {archive_}));
      for (int i = 0; i < failures.Count(); ++i) report.Add(failures.Strings(i));
    }
  } else if (deleted_ > 0) {
    report.Add(CommonText(u"R3", {dlx::IntToStr(deleted_)}));
  } else if (!changed_ && !existing_.empty()) {
    // Nothing of the previous installation was touched: there is nothing to report about it.
  } else {
    report.Add(CommonText(u"R4"));
  }

  int failedHeld = 0;
  for (auto held = held_.rbegin(); held != held_.rend(); ++held) {
    // A run killed between recording a move and making it left the file where it was.
    if (!dlx::FileExists(held->Now)) continue;
    // Put back by handle into its folder opened through its root: a link planted meanwhile where
    // the file was is never followed.
    const dlx::TScopedHandle file(CreateFileW(
        dlx::W(dlx::ApplyLongPathRule(held->Now)), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, 0, nullptr,
        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    TConfinedFolder folder;
    if (file && folder.Open(held->Root, RuleFor(held->Root, dest_)) &&
        folder.MoveInto(file.Get(), held->Path)) {
      dlx::Log(u"Rollback: put back \"" + held->Path + u"\"");
      CancelDeleteAtRestart(held->Now);
    } else {
      dlx::Log(u"Rollback: cannot put back \"" + held->Path + u"\" (" +
               dlx::IntToStr(static_cast<int64_t>(GetLastError())) + u")");
      ++failedHeld;
    }
  }
  held_.clear();
  if (failedHeld) report.Add(CommonText(u"R6", {dlx::IntToStr(failedHeld)}));

  // Registered again only now that the libraries are back in their places.
  for (auto library = unregistered_.rbegin(); library != unregistered_.rend(); ++library) {
    try {
      if (!dlx::FileExists(*library) ||
          !TInstallerActiveX::CallExportWithin(*library, "DllRegisterServer", RunWaitLimitMs()))
        report.Add(CommonText(u"R8", {*library}));
    } catch (const dlx::EDLXException& e) {
      report.Add(e.Message());
    }
  }
  unregistered_.clear();

  int failedKeys = 0;
  for (const TRegistrySnapshot& snapshot : registry_)
    if (!snapshot.Restore()) ++failedKeys;
  if (failedKeys) report.Add(CommonText(u"R7", {dlx::IntToStr(failedKeys)}));

  // Done: the next run must not undo this one again.
  if (journal_) RemoveJournal();
}
