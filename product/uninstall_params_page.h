// What a removal takes along besides the program: the backups of earlier installations and the
// user's own data. Both stay unless asked for.
#pragma once

#include "ui/page.h"

class TInstallerPageUninstallParams : public TInstallerPage {
 public:
  TInstallerPageUninstallParams() : TInstallerPage(u"TInstallerPageUninstallParams") {}

  // Shows the choices; writes nothing, so untouched boxes leave the removal its own defaults.
  void Prepare() override;

 protected:
  void CreateControls() override;

 private:
  void Store();

  dlx::TDLXCheckBox* backupsBox_ = nullptr;  // "CB1"
  dlx::TDLXCheckBox* contentBox_ = nullptr;  // "CB2"
};
