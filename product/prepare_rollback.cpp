#include "product/prepare_rollback.h"

#include <windows.h>

#include <algorithm>
#include <unordered_map>

#include "core/app_repository.h"
#include "core/entry.h"
#include "core/paths.h"
#include "core/safe_delete.h"
#include "lib/file_enum.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/text.h"
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

bool TPrepareRollback::HoldAside(const String& path) {
  const DWORD attributes = GetFileAttributesW(dlx::W(dlx::ApplyLongPathRule(path)));
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return false;
  if (RootOf(path).empty()) return false;
  try {
    if (holdFolder_.empty()) holdFolder_ = CreatePrivateFolder(dlx::GetTempPath());
  } catch (const dlx::EDLXException& e) {
    dlx::Log(u"No folder to hold files aside in: " + e.Message());
    return false;
  }
  const String target =
      holdFolder_ + dlx::IntToStr(static_cast<int64_t>(held_.size())) + u"_" + dlx::ExtractFileName(path);
  if (!MoveFileExW(dlx::W(dlx::ApplyLongPathRule(path)), dlx::W(dlx::ApplyLongPathRule(target)),
                   MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
    return false;
  // Gone for good at the next restart, unless the rollback takes it back first.
  MoveFileExW(dlx::W(dlx::ApplyLongPathRule(target)), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  // And the folder after the files (restart operations run in the order they were made).
  MoveFileExW(dlx::W(dlx::ExcludeTrailingPathDelimiter(holdFolder_)), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  held_.emplace_back(path, target);
  dlx::Log(u"Deleted \"" + path + u"\" (held in \"" + target + u"\" until the run ends)");
  return true;
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
  for (const String& folder : folders)
    if (dlx::RemoveDirectory(folder)) dlx::Log(u"Rollback: removed folder \"" + folder + u"\"");
  if (failed)
    report.Add(u"Rollback: " + dlx::IntToStr(failed) + u" file(s) of this run could not be removed from \"" +
               root + u"\"");
}

void TPrepareRollback::Undo(dlx::TDLXStringList& report) {
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
        failures);
    if (failures.Count() == 0) {
      report.Add(u"The previous installation was restored from the backup \"" + archive_ + u"\" (" +
                 dlx::IntToStr(restored) + u" files).");
    } else {
      report.Add(u"The previous installation could not be fully restored from the backup \"" + archive_ +
                 u"\":");
      for (int i = 0; i < failures.Count(); ++i) report.Add(failures.Strings(i));
    }
  } else if (deleted_ > 0) {
    report.Add(u"The previous installation could not be restored: no backup of it was made (" +
               dlx::IntToStr(deleted_) + u" files had been deleted).");
  } else {
    report.Add(u"The files of this installation were removed.");
  }

  int failedHeld = 0;
  for (auto held = held_.rbegin(); held != held_.rend(); ++held) {
    dlx::ForceDirectories(dlx::ExtractFilePath(held->first));
    if (MoveFileExW(dlx::W(dlx::ApplyLongPathRule(held->second)), dlx::W(dlx::ApplyLongPathRule(held->first)),
                    MOVEFILE_COPY_ALLOWED | MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      dlx::Log(u"Rollback: put back \"" + held->first + u"\"");
    else
      ++failedHeld;
  }
  held_.clear();
  if (failedHeld)
    report.Add(u"Rollback: " + dlx::IntToStr(failedHeld) +
               u" cache file(s) could not be put back; they are rebuilt.");

  int failedKeys = 0;
  for (const TRegistrySnapshot& snapshot : registry_)
    if (!snapshot.Restore()) ++failedKeys;
  if (failedKeys)
    report.Add(u"Rollback: " + dlx::IntToStr(failedKeys) + u" uninstall entries could not be put back.");
}
