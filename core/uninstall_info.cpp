#include "core/uninstall_info.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <unordered_set>
#include <vector>

#include "core/action.h"
#include "core/app_repository.h"
#include "core/elevation.h"
#include "core/errors.h"
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
#include "lib/win/handles.h"

using dlx::String;

namespace {

bool StartsWithText(const String& text, const String& prefix) {
  return !prefix.empty() && text.size() >= prefix.size() &&
         dlx::SameText(dlx::StringView(text).substr(0, prefix.size()), prefix);
}

// What Programs and Features shows as the size: the files this run wrote and logged, each counted
// once, in KiB rounded up.
uint32_t EstimatedSizeKiB(const std::vector<String>& paths) {
  // Thousands of entries: a set, not a comparison of each path with every one before it.
  std::unordered_set<String> counted;
  uint64_t bytes = 0;
  for (const String& path : paths) {
    if (!counted.insert(dlx::UpperCaseText(path)).second) continue;
    const int64_t size = dlx::FileSize(path);
    if (size > 0) bytes += static_cast<uint64_t>(size);
  }
  const uint64_t kib = (bytes + 1023) / 1024;
  return kib > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(kib);
}

// Creates or replaces the file with the bytes; a file left half written is removed.
void WriteWholeFile(const String& path, const uint8_t* data, size_t size) {
  dlx::TScopedHandle file(
      CreateFileW(dlx::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD code = GetLastError();
    throw dlx::EDLXOSError(code, SystemErrorMessage(code, path));
  }
  size_t written = 0;
  while (written < size) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size - written, 1u << 20));
    DWORD done = 0;
    if (!WriteFile(file.Get(), data + written, chunk, &done, nullptr) || done == 0) {
      const DWORD code = GetLastError();
      file.Reset();
      DeleteFileW(dlx::W(path));
      throw dlx::EDLXOSError(code, SystemErrorMessage(code, path));
    }
    written += done;
  }
}

}  // namespace

String WriteUninstallerProgram(HMODULE module, const String& target) {
  if (!FindResourceW(module, dlx::W(kUninstallerResourceName), RT_RCDATA)) {
    // A program built without one (the test programs) can itself act as the uninstaller.
    const String running = dlx::GetExeName();
    if (!dlx::CopyFile(running, target, false)) {
      const uint32_t code = dlx::platform::LastError();
      dlx::Log(u"Cannot copy \"" + running + u"\" to \"" + target + u"\"");
      throw OSErrorWithPaths(code, running, target);
    }
    return u"copy of \"" + running + u"\"";
  }
  std::unique_ptr<dlx::TDLXMemoryStream> image;
  try {
    const dlx::TSetupPackageReader package(module, kUninstallerResourceName);
    if (!package.Extract(kUninstallExeName, image)) throw dlx::ESetupPackageReadError();
  } catch (const dlx::EDLXException& e) {
    dlx::Log(u"The uninstaller carried by the setup cannot be read: " + e.Message());
    throw EInstallerInstallError(FormatText(
        u"Cannot write \"%s\": the uninstaller that Setup carries is damaged (%s). Download Setup again.",
        {target, e.Message()}));
  }
  WriteWholeFile(target, image->Memory(), image->Size());
  return u"the setup's uninstaller, " + dlx::IntToStr(static_cast<int64_t>(image->Size())) + u" bytes";
}

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

  const String source = WriteUninstallerProgram(GetModuleHandleW(nullptr), uninstaller);
  dlx::Log(u"Written \"" + uninstaller + u"\" (" + source + u")");

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
