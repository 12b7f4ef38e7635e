#include "product/shortcuts_action.h"

#include <windows.h>

#include <cmath>
#include <string>

#include "core/installer.h"
#include "core/resources.h"
#include "core/script/install_script.h"
#include "core/texts.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/text.h"
#include "lib/stream_helpers.h"
#include "lib/win/system.h"
#include "product/run_journal.h"
#include "product/shell_link.h"

using dlx::String;

namespace {

const char16_t kIntegration[] = u"Integration";

bool IsWin8OrLater() {
  const dlx::TDLXSystemVersion& version = dlx::SystemVersion();
  return version.Major > 6 || (version.Major == 6 && version.Minor >= 2);
}

// A portable copy leaves no traces in Windows unless the user asks for them.
bool ReadShortcutChoice(dlx::TDLXIniFile& settings, const char16_t* key) {
  return settings.ReadBool(kIntegration, key, !Installer->HasOption(ioPortable));
}

bool IsAbsolutePath(const String& path) {
  return (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') || path.starts_with(u"\\\\");
}

// A link file is small: its bytes are kept in memory to put it back when the run is undone.
bool ReadFileBytes(const String& path, std::string& bytes) {
  auto stream = dlx::OpenFileForReading(path);
  if (!stream) return false;
  char buffer[4096];
  bytes.clear();
  try {
    while (const size_t got = stream->Read(buffer, sizeof buffer)) bytes.append(buffer, got);
  } catch (const dlx::EDLXException&) {
    return false;
  }
  return true;
}

// The shell and indexers read a new link for a moment after it appears; an undo step that meets
// one of them tries again briefly.
template <typename Step>
bool Retried(Step step) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (step()) return true;
    Sleep(50);
  }
  return false;
}

bool WriteFileBytes(const String& path, const std::string& bytes) {
  try {
    auto stream = dlx::CreateFileForWriting(path);
    if (!stream) return false;
    stream->WriteBuffer(bytes.data(), bytes.size());
    stream->Flush();
    return true;
  } catch (const dlx::EDLXException&) {
    return false;
  }
}

void RestoreFileBytes(const String& path, const std::string& bytes, dlx::TDLXStringList& report) {
  if (!Retried([&] { return WriteFileBytes(path, bytes); })) report.Add(CommonText(u"R10", {path}));
}

void RemoveNewLink(const String& path, dlx::TDLXStringList& report) {
  if (!Retried([&] { return dlx::DeleteFile(path) || !dlx::FileExists(path); }))
    report.Add(CommonText(u"R11", {path}));
}

// Creates the missing folders of the path, each recorded so that undoing the run removes it again
// when it is empty.
bool ForceJournaledFolder(const String& folder) {
  if (folder.empty() || dlx::DirectoryExists(folder)) return true;
  const String parent = dlx::ExtractFilePath(dlx::ExcludeTrailingPathDelimiter(folder));
  if (parent.size() < folder.size() && !ForceJournaledFolder(parent)) return false;
  if (!dlx::CreateDirectory(folder)) return false;
  RunJournal().Record(u"Folder created: \"" + folder + u"\"", [folder](dlx::TDLXStringList&) {
    // Only when empty: whatever else was put there since stays, and its folder.
    Retried([&] { return dlx::RemoveDirectory(folder) || !dlx::DirectoryExists(folder); });
  });
  return true;
}

}  // namespace

TInstallerActionShortcuts::TInstallerActionShortcuts()
    : locations_(std::make_unique<dlx::TDLXStringList>()) {}

void TInstallerActionShortcuts::PrepareLocations() {
  locations_->Clear();
  if (ReadShortcutChoice(Settings(), u"ShortcutDesktop")) locations_->Add(u"$DESKTOP");
  if (ReadShortcutChoice(Settings(), u"ShortcutStartMenu")) locations_->Add(u"$STARTMENU");
}

bool TInstallerActionShortcuts::IsSelected(const TInstallerScriptFile& entry, bool windows8OrLater) const {
  const String linkPath = dlx::UpperCaseText(entry.Name);
  bool enabled = false;
  for (int i = 0; i < locations_->Count() && !enabled; ++i)
    enabled = linkPath.find(locations_->Strings(i)) != String::npos;
  if (!enabled) return false;
  if (windows8OrLater && !dlx::SameText(dlx::ExtractFileExt(entry.GetSourceName()), u".exe")) return false;
  return true;
}

void TInstallerActionShortcuts::CreateShortcut(const TInstallerScriptFile& entry) {
  const String linkPath = Resources().ExpandPath(entry.Name);
  const String target = Resources().ExpandPath(entry.GetSourceName());
  // Variables are replaced only as written in capitals; a path left relative would put the
  // shortcut wherever the current folder happens to be.
  if (!IsAbsolutePath(linkPath) || !IsAbsolutePath(target)) {
    dlx::Log(u"Shortcut \"" + entry.Name + u"\" skipped: \"" + linkPath + u"\" or its target \"" + target +
             u"\" is no full path");
    return;
  }
  const String folder = dlx::ExtractFilePath(linkPath);
  if (!ForceJournaledFolder(folder)) {
    dlx::Log(u"Cannot create the folder \"" + folder + u"\": no shortcut \"" + linkPath + u"\"");
    return;
  }
  String existing;
  if (dlx::FileExists(linkPath) && ReadShellLinkTarget(linkPath, existing) && existing == target) {
    dlx::Log(u"The shortcut \"" + linkPath + u"\" already points to \"" + target + u"\": kept");
    return;
  }
  if (!dlx::FileExists(target)) {
    dlx::Log(u"No shortcut \"" + linkPath + u"\": its target \"" + target + u"\" does not exist");
    return;
  }
  std::string previous;
  if (dlx::FileExists(linkPath) && ReadFileBytes(linkPath, previous)) {
    RunJournal().Record(
        u"Shortcut replaced: \"" + linkPath + u"\"",
        [linkPath, previous](dlx::TDLXStringList& report) { RestoreFileBytes(linkPath, previous, report); });
  } else {
    RunJournal().Record(u"Shortcut created: \"" + linkPath + u"\"",
                        [linkPath](dlx::TDLXStringList& report) { RemoveNewLink(linkPath, report); });
  }
  WriteShellLink(linkPath, target);
}

void TInstallerActionShortcuts::Execute() {
  ReportStatus(GetCommonText(u"A2"));
  PrepareLocations();
  const bool windows8OrLater = IsWin8OrLater();
  const TInstallerScriptGroup& shortcuts = Script().Shortcuts();
  const int count = shortcuts.Count();
  for (int i = 0; i < count; ++i) {
    const TInstallerScriptFile& entry = *shortcuts.Items(i);
    if (IsSelected(entry, windows8OrLater))
      CreateShortcut(entry);
    else
      dlx::Log(u"Shortcut \"" + entry.Name + u"\" not chosen");
    SetProgress(static_cast<int>(std::lround((i + 1) * 100.0 / count)));
  }
}

void TInstallerActionShortcuts::BuildSummary(TInstallerSummaryBuilder& builder) {
  builder.SetHeaderText(u"PageIntegration", u"LB1");
  if (ReadShortcutChoice(Settings(), u"ShortcutDesktop")) builder.AddLineText(u"PageIntegration", u"CB1");
  if (ReadShortcutChoice(Settings(), u"ShortcutStartMenu")) builder.AddLineText(u"PageIntegration", u"CB2");
}
