// The last pages of the wizard: what the run did (or the errors that stopped it) and, after an
// installation, which programs to start now and a link to the product's home page.
#pragma once

#include <vector>

#include "lib/ui/edit.h"
#include "ui/page.h"

class TInstallerPageCustomFinish : public TInstallerPageFullScreen {
 public:
  bool CanGoBack() const override { return false; }
  // Shows the errors of the run, if any, in place of the success texts.
  void Prepare() override;

  bool ShowsErrors() const;
  dlx::String ErrorReport() const { return errors_->Caption(); }

 protected:
  using TInstallerPageFullScreen::TInstallerPageFullScreen;
  void CreateControls() override;

 private:
  dlx::TDLXMemo* errors_ = nullptr;
};

class TInstallerPageFinish : public TInstallerPageCustomFinish {
 public:
  TInstallerPageFinish() : TInstallerPageCustomFinish(u"TInstallerPageFinish") {}
  void Prepare() override;

  // The run-after-install choices, one per entry of the script's Actions group, in script order.
  const std::vector<dlx::TDLXCheckBox*>& RunBoxes() const { return runBoxes_; }

 protected:
  void CreateControls() override;

 private:
  // Writes every choice to the settings, where the post-install actions read them.
  void StoreChoices();

  std::vector<dlx::TDLXCheckBox*> runBoxes_;
  dlx::TDLXLabel* homePage_ = nullptr;
};

class TInstallerPageUninstallFinish : public TInstallerPageCustomFinish {
 public:
  TInstallerPageUninstallFinish() : TInstallerPageCustomFinish(u"TInstallerPageUninstallFinish") {}
};
