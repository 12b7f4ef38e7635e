#include "product/product_info_zuva.h"

// clang-format off
#define PSAPI_VERSION 2
#include <windows.h>
#include <psapi.h>
// clang-format on

#include "core/app_repository.h"
#include "core/errors.h"
#include "core/extract_action.h"
#include "core/installer.h"
#include "core/paths.h"
#include "core/resources.h"
#include "core/run_lock.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/text.h"
#include "lib/win/handles.h"
#include "lib/win/system.h"
#include "product/addons_action.h"
#include "product/addons_page.h"
#include "product/close_applications_action.h"
#include "product/config_action.h"
#include "product/integrate_action.h"
#include "product/integration_page.h"
#include "product/journal_file.h"
#include "product/prepare_action.h"
#include "product/prepare_rollback.h"
#include "product/product_names.h"
#include "product/profiles.h"
#include "product/run_journal.h"
#include "product/setup_page.h"
#include "product/shell_cache_action.h"
#include "product/shortcuts_action.h"
#include "product/uninstall_files_action.h"
#include "product/uninstall_integration_action.h"
#include "product/uninstall_params_page.h"
#include "product/update_tasks.h"
#include "ui/informational_pages.h"

using dlx::String;

namespace {

constexpr char16_t kSystemSection[] = u"System";
constexpr char16_t kIntegrationSection[] = u"Integration";

// The folder of the program that shows a window of the class, or false. Any user can show a window
// of that class from a program of their own: only a program that lies where administrators put
// programs counts, or the elevated run would install into (and load code from) the user's folder.
bool FindRunningCopy(const char16_t* windowClass, String& folder) {
  HWND window = FindWindowW(reinterpret_cast<const wchar_t*>(windowClass), nullptr);
  if (!window) return false;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  dlx::TScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) {
    dlx::Log(u"A running ZUVA window was found, but its process cannot be opened (" +
             dlx::IntToStr(GetLastError()) + u")");
    return false;
  }
  std::vector<wchar_t> path(32768);
  DWORD length = static_cast<DWORD>(path.size());
  if (!QueryFullProcessImageNameW(process.Get(), 0, path.data(), &length) || length == 0) {
    dlx::Log(u"A running ZUVA window was found, but its program's path cannot be read (" +
             dlx::IntToStr(GetLastError()) + u"): no installed copy");
    return false;
  }
  const String image = CanonicalPath(dlx::FromW(path.data(), length));
  for (const String& programFiles : ProgramFilesFolders()) {
    if (image.empty() || !IsPathInside(image, programFiles, false)) continue;
    folder = dlx::ExtractFilePath(image);
    return true;
  }
  dlx::Log(u"A running ZUVA window belongs to \"" + image +
           u"\", which lies outside the program-files folders: it is no installed copy, ignored");
  return false;
}

}  // namespace

TProductInfoZUVA::TProductInfoZUVA() : config_(std::make_unique<dlx::TDLXIniFile>()) {}

TProductInfoZUVA::~TProductInfoZUVA() = default;

String TProductInfoZUVA::GetDefaultPath() {
  String folder;
  if (FindInstalledCopy(folder)) return folder;
  return TInstallerProductInfo::GetDefaultPath();
}

bool TProductInfoZUVA::CanUpdate() {
  const int version = GetInstalledVersion();
  return version > 3499 && version < 5100;
}

bool TProductInfoZUVA::IsInstalledPortable() {
  return !config_->ReadBool(kSystemSection, u"UserMode", true);
}

int TProductInfoZUVA::GetInstalledVersion() {
  return config_->ReadInteger(kSystemSection, u"Version", 0);
}

void TProductInfoZUVA::RecoverInterruptedRun() {
  recovered_ = false;
  const String& dest = Installer->DestPath();
  if (dest.empty() || !dlx::FileExists(TJournalFile::PathFor(dest))) return;
  // The journal of a run that is still going on is its own: only with the product's run lock
  // (which this process may already hold) is it one of a run that ended without finishing.
  TInstallerRunLock lock;
  if (!lock.TryAcquire(GetName())) {
    dlx::Log(u"Another setup of " + GetName() + u" is running: the journal \"" + TJournalFile::PathFor(dest) +
             u"\" is its own and is left alone");
    return;
  }
  dlx::Log(u"An earlier run into \"" + dest + u"\" did not end: rolling it back from its journal");
  const auto rollback =
      TPrepareRollback::Load(dest, TInstallerProfileHelper::AllDataPaths(), ShortcutFolders(),
                             {GetName(), zuva_names::kUninstallKey, zuva_names::kUninstallKeyOld});
  if (!rollback) {
    dlx::Log(u"\"" + TJournalFile::PathFor(dest) + u"\" is no journal of this folder: left alone");
    return;
  }
  dlx::TDLXStringList report;
  rollback->Undo(report);
  for (int i = 0; i < report.Count(); ++i) dlx::Log(u"Recovery: " + report.Strings(i));
  recovered_ = true;
}

void TProductInfoZUVA::LoadInstalledInfo() {
  RecoverInterruptedRun();
  config_->Clear();
  const String fileName = GetConfigFileName();
  if (!fileName.empty()) config_->LoadFromFile(fileName);
  Installer->Settings().WriteSectionText(kIntegrationSection, config_->ReadSectionText(kIntegrationSection));
  // The settings' section exists from now on, even when the copy stored no choices.
  Installer->Settings().GetOrCreateSection(kIntegrationSection);
}

bool TProductInfoZUVA::FindInstalledCopy(String& folder) {
  folder.clear();
  if (TInstallerApplicationRepository::GetInstallPath(zuva_names::kUninstallKey, folder)) return true;
  if (TInstallerApplicationRepository::GetInstallPath(zuva_names::kUninstallKeyOld, folder)) return true;
  folder.clear();
  if (FindRunningCopy(zuva_names::kMainWindowClass, folder)) return true;
  folder.clear();
  return false;
}

String TProductInfoZUVA::GetConfigFileName() {
  const String& dest = Installer->DestPath();
  if (dest.empty()) return String();
  for (const char16_t* name : {zuva_names::kConfigFile, zuva_names::kConfigFileOld}) {
    const String fileName = dest + name;
    if (dlx::FileExists(fileName)) return fileName;
  }
  return String();
}

bool TProductInfoZUVA::ReplacesIntegration() {
  return !Installer->HasOption(ioPortable) &&
         (!Installer->HasOption(ioUpdate) || GetInstalledVersion() < 4000);
}

bool TProductInfoZUVA::IsAddonsAvailable() {
  if (Installer->HasOption(ioAuto) || Installer->HasOption(ioSilent)) return false;
  return dlx::SameText(Resources().LangName(), u"Russian");
}

bool TProductInfoZUVA::HasPreviousInstallation() {
  if (Installer->HasOption(ioUpdate)) return false;
  if (GetInstalledVersion() >= 1) return true;
  if (Installer->HasOption(ioPortable)) return false;
  String folder;
  return FindInstalledCopy(folder);
}

void TProductInfoZUVA::EnumActions(const std::function<void(TInstallerActionClass)>& callback) {
  // Every action runs journaled: when one fails or the run is cancelled, what the run changed is
  // undone before the run ends.
  callback(&CreateJournaledAction<TInstallerActionCloseApplications>);
  switch (Installer->Mode()) {
    case imInstall:
      callback(&CreateJournaledAction<TInstallerActionPrepare>);
      if (IsAddonsAvailable()) callback(&CreateJournaledAction<TInstallerActionAddonsInstall>);
      callback(&CreateJournaledAction<TInstallerActionExtract>);
      callback(&CreateJournaledAction<TInstallerActionConfig>);
      // An update from the older generation lost its links and integration to the pre-install
      // tasks: they are made anew, with the choices its configuration kept or the defaults.
      if (ReplacesIntegration()) callback(&CreateJournaledAction<TInstallerActionIntegrate>);
      if (!Installer->HasOption(ioUpdate) || ReplacesIntegration())
        callback(&CreateJournaledAction<TInstallerActionShortcuts>);
      if (dlx::IsWin10OrLater()) callback(&CreateJournaledAction<TInstallerActionUpdateShellCache>);
      break;
    case imUninstall:
      callback(&CreateAction<TInstallerActionUninstallIntegration>);
      callback(&CreateAction<TInstallerActionUninstallFiles>);
      break;
  }
}

void TProductInfoZUVA::EnumPages(const std::function<void(TInstallerPageClass)>& callback) {
  // The form adds the work page and the finish page of the mode after these.
  switch (Installer->Mode()) {
    case imInstall:
      callback(&CreateInstallerPage<TInstallerPageWelcome>);
      callback(&CreateInstallerPage<TInstallerPageLicense>);
      callback(&CreateInstallerPage<TInstallerPageSetup>);
      if (IsAddonsAvailable()) callback(&CreateInstallerPage<TInstallerPageAddons>);
      callback(&CreateInstallerPage<TInstallerPageIntegration>);
      callback(&CreateInstallerPage<TInstallerPageReadyToInstall>);
      break;
    case imUninstall:
      callback(&CreateInstallerPage<TInstallerPageUninstallParams>);
      break;
  }
}

TProductInfoZUVA& ProductInfoZUVA() {
  auto* info = dynamic_cast<TProductInfoZUVA*>(&Installer->ProductInfo());
  if (!info) throw EInstallerMysteryError(u"The product information is not ZUVA's");
  return *info;
}

void RegisterProductInfoZUVA() {
  ProductInfoClass = &CreateProductInfo<TProductInfoZUVA>;
}
