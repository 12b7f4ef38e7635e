// The optional add-ons package of an interactive Russian installation: its own installer program,
// carried in the setup package, started with switches for the user's three choices before the
// product's files are extracted. The program is saved into a new private folder of the temporary
// folder, like the uninstaller's copy (only administrators and SYSTEM have access), so nothing can
// replace it before the elevated setup starts it.
#pragma once

#include "core/action.h"

class TInstallerActionAddonsInstall : public TInstallerAction {
 public:
  void Execute() override;
  void BuildSummary(TInstallerSummaryBuilder& builder) override;

  // The parameter text for the add-ons installer: the pattern "CL" of the add-ons list with the
  // switches of the choices in Settings.
  dlx::String BuildParameters(const dlx::TDLXStringList& addons);
  // Where Execute saved the add-ons installer (empty before, or when nothing was chosen).
  const dlx::String& InstallerPath() const { return installerPath_; }

 private:
  dlx::String installerPath_;
};
