// Writes the product's configuration file ZUVA.ini in the installation folder after extraction:
// the user's integration choices, the installation mode, the language to start with and the
// installed version. Keys of the file that the installer does not own stay as they were.
#pragma once

#include "core/action.h"

class TInstallerActionConfig : public TInstallerAction {
 public:
  void Execute() override;
};
