// The optional add-ons of a Russian interactive run: which parts of the add-ons' own setup run
// after ours, with notes naming who provides them and where to read more. The list and the
// picture come from the setup package's "addons.ini".
#pragma once

#include <memory>

#include "lib/string_list.h"
#include "lib/ui/formatted_label.h"
#include "lib/ui/graphics.h"
#include "ui/page.h"

class TInstallerPageAddons : public TInstallerPage {
 public:
  // Reads "addons.ini" and the picture it names; either missing means no page (and no wizard).
  TInstallerPageAddons();

  // Reads the choices, then stores them: once the page was shown, the settings hold all three.
  void Prepare() override;
  void Localize() override;

 protected:
  void CreateControls() override;
  void Paint(HDC dc, const RECT& client) override;

 private:
  void Store();

  std::unique_ptr<dlx::TDLXStringList> addons_;
  dlx::TDLXImage picture_;
  dlx::TDLXFormattedLabel* firstNote_ = nullptr;
  dlx::TDLXFormattedLabel* secondNote_ = nullptr;
  dlx::TDLXCheckBox* extensionsBox_ = nullptr;  // "CB2"
  dlx::TDLXCheckBox* shortcutsBox_ = nullptr;   // "CB3"
  dlx::TDLXCheckBox* viewerBox_ = nullptr;      // "CB1"
};
