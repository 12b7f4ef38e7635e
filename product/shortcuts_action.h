// The desktop and start-menu shortcuts the install script lists, limited to the locations the
// user chose. A shortcut that already points where it should is left as it is.
#pragma once

#include <memory>

#include "core/action.h"
#include "lib/string_list.h"

class TInstallerActionShortcuts : public TInstallerAction {
 public:
  TInstallerActionShortcuts();
  void Execute() override;
  void BuildSummary(TInstallerSummaryBuilder& builder) override;

 private:
  // Whether the script entry belongs to a chosen location (its link path as written names one of
  // the enabled location variables, whatever its case) and, on Windows 8 and later, whether its
  // target is a program: the start screen shows only shortcuts to programs.
  bool IsSelected(const TInstallerScriptFile& entry, bool windows8OrLater) const;
  // Fills the enabled location variables from the settings.
  void PrepareLocations();
  void CreateShortcut(const TInstallerScriptFile& entry);

  std::unique_ptr<dlx::TDLXStringList> locations_;
};
