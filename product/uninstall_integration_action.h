// The first half of a removal: the product's shell menu, its shortcuts and its registrations
// (file associations through the integration program, the uninstall entry) go before its files.
#pragma once

#include <memory>
#include <vector>

#include "core/action.h"
#include "product/update_tasks.h"

class TInstallerActionUninstallIntegration : public TInstallerAction {
 public:
  TInstallerActionUninstallIntegration();
  ~TInstallerActionUninstallIntegration() override;
  void Execute() override;

 private:
  std::vector<std::unique_ptr<TInstallerUpdateTask>> tasks_;
};
