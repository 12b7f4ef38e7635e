// Windows integration of a fresh installation (file associations, context menu, default-program
// registration) is the product's own business: this action starts the product's integration
// program with the switches the user chose and waits for it.
#pragma once

#include "core/action.h"

class TInstallerActionIntegrate : public TInstallerAction {
 public:
  void Execute() override;
  void BuildSummary(TInstallerSummaryBuilder& builder) override;

  // The switches for the integration choices in Settings, each with one blank in front; empty
  // when every choice is off. The association dialog ("/REG_UI") is only asked for on Windows 8
  // and later, where a program cannot take associations silently, and never in an unattended run.
  dlx::String BuildSwitches(bool windows8OrLater);
};
