#include "core/uninstall_info.h"

#include <windows.h>

#include <vector>

#include "core/action.h"
#include "core/app_repository.h"
#include "core/file_utils.h"
#include "core/installer.h"
#include "core/package/package.h"
#include "core/product_info.h"
#include "core/resources.h"
#include "core/script/install_script.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/fs.h"
#include "lib/platform/text.h"

using dlx::String;

namespace {

bool StartsWithText(const String& text, const String& prefix) {
  return !prefix.empty() && text.size() >= prefix.size() &&
         dlx::SameText(dlx::StringView(text).substr(0, prefix.size()), prefix);
}

// What Programs and Features shows as the size: the files this run wrote and logged, each counted
// once, in KiB rounded up.
uint32_t EstimatedSizeKiB(const std::vector<String>& paths) {
  std::vector<String> counted;
  uint64_t bytes = 0;
  for (const String& path : paths) {
    bool seen = false;
    for (const String& other : counted) seen = seen || dlx::SameText(other, path);
    if (seen) continue;
    counted.push_back(path);
    const int64_t size = dlx::FileSize(path);
    if (size > 0) bytes += static_cast<uint64_t>(size);
  }
  const uint64_t kib = (bytes + 1023) / 1024;
  return kib > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(kib);
}

}  // namespace

void AddUninstallLogEntry(dlx::TDLXIniFile& log, const String& fullPath) {
  String path = fullPath;
  const int index = log.ReadInteger(kUninstallSection, u"Count", 0);
  const String& dest = Installer->DestPath();
  if (StartsWithText(path, dest)) path.erase(0, dest.size());
  log.WriteString(kUninstallSection, dlx::IntToStr(index), path);
  log.WriteInteger(kUninstallSection, u"Count", index + 1);
}

void TInstallerAction::WriteUninstallInfo(const String& folder,
                                          const std::vector<TInstallerScriptFile*>& entries) {
  const String uninstaller = folder + kUninstallExeName;
  const String data = folder + kUninstallDataName;

  const String running = dlx::GetExeName();
  if (!dlx::CopyFile(running, uninstaller, false)) {
    const uint32_t code = dlx::platform::LastError();
    dlx::Log(u"Cannot copy \"" + running + u"\" to \"" + uninstaller + u"\"");
    throw OSErrorWithPaths(code, running, uninstaller);
  }
  dlx::Log(u"Written \"" + uninstaller + u"\" (copy of \"" + running + u"\")");

  dlx::TDLXIniFile log;
  log.Assign(Settings());
  log.EraseSection(kUninstallSection);
  // The script's names are expanded here, once; the two full paths below are taken as they are
  // (expanding them again would read a folder such as "C:\newdemo" as text with "\n" in it).
  std::vector<String> written;
  for (const TInstallerScriptFile* entry : entries) written.push_back(Resources().ExpandPath(entry->Name));
  written.push_back(data);
  written.push_back(uninstaller);
  for (const String& path : written) AddUninstallLogEntry(log, path);

  dlx::TDLXMemoryStream text;
  log.SaveToStream(text);
  text.SetPosition(0);
  dlx::TSetupPackageBuilder package(dlx::SetupPackageKey);
  package.Add(text, kUninstallLogName);
  package.SaveToFile(data, dlx::UninstallDataLevel);
  dlx::Log(u"Written \"" + data + u"\" (" + dlx::IntToStr(log.ReadInteger(kUninstallSection, u"Count", 0)) +
           u" log entries)");

  if (Installer->HasOption(ioPortable)) {
    dlx::Log(u"Portable installation: not registered in the list of installed programs");
    return;
  }
  TInstallerProductInfo& info = ProductInfo();
  // Uninstall.dat is complete only now: the size is taken after it was written.
  if (!TInstallerApplicationRepository::Register(info.GetName(), uninstaller, info.GetHomePage(),
                                                 info.GetPublisher(), info.GetVersionNo(),
                                                 EstimatedSizeKiB(written)))
    dlx::Log(u"Registration in the list of installed programs failed (installation goes on)");
}
