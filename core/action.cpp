#include "core/action.h"

#include <algorithm>

#include "core/installer.h"
#include "core/resources.h"

TInstallerProductInfo& TInstallerPersistent::ProductInfo() {
  return Installer->ProductInfo();
}

TInstallerResources& TInstallerPersistent::Resources() {
  return Installer->Resources();
}

dlx::TDLXIniFile& TInstallerPersistent::Settings() {
  return Installer->Settings();
}

TInstallerScript& TInstallerPersistent::Script() {
  return Installer->Resources().Script();
}

void TInstallerAction::Run() {
  Execute();
  if (!stopped_) SetProgress(100);
}

void TInstallerAction::RequestCancel() {
  cancelRequested_.store(true);
  Cancel();
}

bool TInstallerAction::StopRequested() {
  if (CancelRequested()) stopped_ = true;
  return stopped_;
}

void TInstallerAction::SetProgress(int value) {
  value = std::clamp(value, 0, 100);
  if (value == progress_) return;
  progress_ = value;
  if (OnProgress) OnProgress(*this);
}

void TInstallerAction::ReportStatus(const dlx::String& text) {
  Installer->PostText(ieStatusText, text);
}

dlx::String TInstallerAction::GetText(const dlx::String& section, const dlx::String& key) {
  return Resources().GetString(section, key);
}

dlx::String TInstallerAction::GetCommonText(const dlx::String& key) {
  return GetText(u"Common", key);
}

int TInstallerActionList::GetOverallProgress() const {
  if (items_.empty()) return 0;
  int64_t sum = 0;
  for (const auto& action : items_) sum += action->Progress();
  return static_cast<int>(sum / static_cast<int64_t>(items_.size()));
}
