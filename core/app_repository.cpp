#include "core/app_repository.h"

#include <windows.h>

#include "core/paths.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/fs.h"
#include "lib/win/handles.h"

using dlx::String;

namespace {

const char16_t kUninstallKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

String WithoutBlanks(const String& text) {
  String result;
  result.reserve(text.size());
  for (char16_t c : text)
    if (c != u' ') result += c;
  return result;
}

// A name that would reach another key than its own (the uninstall list itself, or a key of
// another product) is refused: a backslash separates key names.
bool UsableName(const String& name) {
  return !WithoutBlanks(name).empty() && name.find(u'\\') == String::npos;
}

String StatusText() {
  const LONG status = dlx::TRegistryKey::LastStatus();
  return u"status " + dlx::IntToStr(static_cast<int64_t>(status)) + u": " +
         dlx::platform::ErrorMessage(static_cast<uint32_t>(status));
}

String LocalDate() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  wchar_t text[16];
  swprintf(text, 16, L"%04u%02u%02u", static_cast<unsigned>(now.wYear), static_cast<unsigned>(now.wMonth),
           static_cast<unsigned>(now.wDay));
  return dlx::FromW(text);
}

bool DeleteKey(const String& name) {
  const String path = TInstallerApplicationRepository::KeyPath(name);
  if (!dlx::TRegistryKey::KeyExists(HKEY_LOCAL_MACHINE, path)) return false;
  const bool deleted = dlx::TRegistryKey::DeleteTree(HKEY_LOCAL_MACHINE, path);
  dlx::Log(deleted ? u"Registry: deleted HKLM\\" + path
                   : u"Registry: cannot delete HKLM\\" + path + u" (" + StatusText() + u")");
  return deleted;
}

}  // namespace

String TInstallerApplicationRepository::KeyPath(const String& name) {
  return kUninstallKey + name;
}

String TInstallerApplicationRepository::UninstallCommand(const String& uninstallerPath) {
  return u"\"" + uninstallerPath + u"\"";
}

String TInstallerApplicationRepository::QuietUninstallCommand(const String& uninstallerPath) {
  return UninstallCommand(uninstallerPath) + u" /AUTO /SILENT /SUPPRESSMSGBOXES";
}

String TInstallerApplicationRepository::ProgramOfCommand(const String& command) {
  if (command.empty() || command[0] != u'"') return command;
  const size_t close = command.find(u'"', 1);
  return command.substr(1, close == String::npos ? String::npos : close - 1);
}

void TInstallerApplicationRepository::SplitVersion(const String& version, uint32_t& major, uint32_t& minor) {
  uint32_t parts[2] = {0, 0};
  size_t at = 0;
  for (uint32_t& part : parts) {
    uint64_t value = 0;
    size_t digits = 0;
    for (; at < version.size() && version[at] >= u'0' && version[at] <= u'9'; ++at, ++digits)
      if (value <= UINT32_MAX) value = value * 10 + static_cast<uint64_t>(version[at] - u'0');
    // A number too large for the value is no version number: it counts as missing.
    part = digits > 0 && value <= UINT32_MAX ? static_cast<uint32_t>(value) : 0;
    if (at >= version.size() || version[at] != u'.') break;
    ++at;
  }
  major = parts[0];
  minor = parts[1];
}

bool TInstallerApplicationRepository::Register(const String& name, const String& uninstallerPath,
                                               const String& homePage, const String& publisher,
                                               const String& version, uint32_t estimatedSizeKiB) {
  if (!UsableName(name)) return false;
  const String path = KeyPath(name);
  dlx::TRegistryKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, path, KEY_READ | KEY_WRITE) &&
      !key.Create(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS)) {
    dlx::Log(u"Registry: cannot open or create HKLM\\" + path + u" (" + StatusText() + u")");
    return false;
  }
  bool ok = true;
  auto writeDword = [&](const String& value, uint32_t data) {
    const bool written = key.WriteDword(value, data);
    ok = ok && written;
    dlx::Log(u"Registry: " + path + u" \"" + value + u"\" = " + dlx::IntToStr(data) + u" (REG_DWORD)" +
             (written ? String() : u" failed (" + StatusText() + u")"));
  };
  auto writeString = [&](const String& value, const String& data) {
    const bool written = key.WriteString(value, data);
    ok = ok && written;
    dlx::Log(u"Registry: " + path + u" \"" + value + u"\" = \"" + data + u"\" (REG_SZ)" +
             (written ? String() : u" failed (" + StatusText() + u")"));
  };
  writeDword(u"NoModify", 1);
  writeDword(u"NoRepair", 1);
  writeString(u"DisplayIcon", uninstallerPath);
  writeString(u"DisplayName", name);
  writeString(u"DisplayVersion", version);
  writeString(u"InstallDate", LocalDate());
  writeString(u"InstallPath", dlx::ExtractFilePath(uninstallerPath));
  writeString(u"InstallLocation", dlx::ExtractFilePath(uninstallerPath));
  writeString(u"Publisher", publisher);
  writeString(u"UninstallString", UninstallCommand(uninstallerPath));
  writeString(u"QuietUninstallString", QuietUninstallCommand(uninstallerPath));
  writeString(u"URLInfoAbout", homePage);
  writeDword(u"EstimatedSize", estimatedSizeKiB);
  uint32_t major = 0, minor = 0;
  SplitVersion(version, major, minor);
  writeDword(u"VersionMajor", major);
  writeDword(u"VersionMinor", minor);
  return ok;
}

bool TInstallerApplicationRepository::Unregister(const String& name) {
  if (!UsableName(name)) return false;
  bool deleted = DeleteKey(name);
  const String compact = WithoutBlanks(name);
  if (compact != name) deleted = DeleteKey(compact) || deleted;
  return deleted;
}

bool TInstallerApplicationRepository::GetInstallPath(const String& name, String& folder) {
  folder.clear();
  if (!UsableName(name)) return false;
  try {
    dlx::TRegistryKey key;
    if (!key.Open(HKEY_LOCAL_MACHINE, KeyPath(name), KEY_READ)) return false;
    String value;
    key.ReadString(u"InstallPath", value);
    folder = dlx::IncludeTrailingPathDelimiter(value);
    if (!dlx::DirectoryExists(folder)) {
      key.ReadString(u"UninstallString", value);
      folder = dlx::ExtractFilePath(ProgramOfCommand(value));
    }
    if (!dlx::DirectoryExists(folder)) {
      key.ReadString(u"DisplayIcon", value);
      folder = dlx::ExtractFilePath(value);
    }
    return !folder.empty() && dlx::DirectoryExists(folder);
  } catch (...) {
    return false;
  }
}

bool TInstallerApplicationRepository::BelongsTo(const String& name, const String& folder) {
  if (!UsableName(name) || folder.empty()) return false;
  dlx::TRegistryKey key;
  if (!key.Open(HKEY_LOCAL_MACHINE, KeyPath(name), KEY_READ)) return false;
  String named;
  key.ReadString(u"InstallPath", named);
  if (named.empty()) {
    String command;
    key.ReadString(u"UninstallString", command);
    named = dlx::ExtractFilePath(ProgramOfCommand(command));
  }
  if (named.empty()) return false;
  return SamePath(CanonicalPath(dlx::IncludeTrailingPathDelimiter(named)),
                  CanonicalPath(dlx::IncludeTrailingPathDelimiter(folder)));
}
