#include "product/uninstall_integration_action.h"

#include <cmath>

TInstallerActionUninstallIntegration::TInstallerActionUninstallIntegration() {
  tasks_.push_back(std::make_unique<TInstallerUpdateTaskRemoveShellMenu>());
  tasks_.push_back(std::make_unique<TInstallerUpdateTaskRemoveShortcuts>());
  tasks_.push_back(std::make_unique<TInstallerUpdateTaskRemoveFromRegistry>());
}

TInstallerActionUninstallIntegration::~TInstallerActionUninstallIntegration() = default;

void TInstallerActionUninstallIntegration::Execute() {
  ReportStatus(GetCommonText(u"A9"));
  const auto count = static_cast<int>(tasks_.size());
  for (int i = 0; i < count; ++i) {
    // A removal has no delete list: the tasks delete what they remove themselves.
    tasks_[static_cast<size_t>(i)]->Execute(nullptr);
    SetProgress(static_cast<int>(std::lround((i + 1) * 100.0 / count)));
  }
}
