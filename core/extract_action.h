// The step of an installation that writes the product's files: every component of the install
// script that belongs to the chosen language family, in script order, and then the uninstaller
// with its log and registration.
#pragma once

#include "core/action.h"

class TInstallerActionExtract : public TInstallerAction {
 public:
  void Execute() override;
};
