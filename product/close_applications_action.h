// Closes every running program of the product before files are replaced or removed: each pass
// asks one window of each known program class to close, until a pass finds none. An interactive
// run waits as long as it takes (the user sees why); an unattended run without message boxes
// gives up after a minute with a clear error instead of hanging a deployment.
#pragma once

#include <windows.h>

#include <vector>

#include "core/action.h"

class TInstallerActionCloseApplications : public TInstallerAction {
 public:
  void Execute() override;
  // Asking the product's programs to close changes no file and no setting.
  bool RunsBeforeThePackageIsChecked() const override { return true; }

 protected:
  // The window classes of the product's programs, the main window last.
  virtual std::vector<dlx::String> WindowClasses();
  // The pause after each pass, and how long an unattended run waits at most.
  virtual DWORD PassPauseMs() { return 2000; }
  virtual DWORD UnattendedLimitMs() { return 60000; }
};
