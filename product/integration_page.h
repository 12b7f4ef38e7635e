// Shortcuts and Windows integration of a new, normal installation. An update keeps what the
// installed copy had and a portable copy leaves Windows alone, so neither is asked.
#pragma once

#include <array>

#include "ui/page.h"

class TInstallerPageIntegration : public TInstallerPage {
 public:
  TInstallerPageIntegration() : TInstallerPage(u"TInstallerPageIntegration") {}

  bool IsAvailable() const override;
  // Shows the "Integration" choices (those of the installed copy, after a change of folder);
  // writes nothing.
  void Prepare() override;

 protected:
  void CreateControls() override;

 private:
  void Store();

  // "CB1" to "CB5", in the order of their settings keys.
  std::array<dlx::TDLXCheckBox*, 5> boxes_{};
};
