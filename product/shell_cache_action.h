// Tells the shell that file associations changed, so that icons and "Open with" entries the
// integration program registered show at once.
#pragma once

#include "core/action.h"

class TInstallerActionUpdateShellCache : public TInstallerAction {
 public:
  void Execute() override;
};
