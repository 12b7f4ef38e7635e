// The pages that inform rather than ask: welcome and license.
#pragma once

#include "lib/ui/rich_viewer.h"
#include "ui/page.h"

class TInstallerPageWelcome : public TInstallerPageFullScreen {
 public:
  TInstallerPageWelcome() : TInstallerPageFullScreen(u"TInstallerPageWelcome") {}
};

class TInstallerPageLicense : public TInstallerPage {
 public:
  TInstallerPageLicense() : TInstallerPage(u"TInstallerPageLicense") {}

  // Nobody installs without having accepted the license, and there is no way back to unaccept.
  bool CanGoBack() const override { return false; }
  bool CanGoNext() const override { return accept_ && accept_->Checked(); }
  // Reloads the license of the run's language family at every visit.
  void Prepare() override;
  void SetVisible(bool visible) override;

  dlx::TDLXCheckBox& AcceptBox() { return *accept_; }

 protected:
  void CreateControls() override;

 private:
  dlx::TDLXRichViewer* viewer_ = nullptr;
  dlx::TDLXCheckBox* accept_ = nullptr;
};

// The summary of what the run will do, built afresh from the actions at every visit.
class TInstallerPageReadyToInstall : public TInstallerPage {
 public:
  TInstallerPageReadyToInstall() : TInstallerPage(u"TInstallerPageReadyToInstall") {}

  void Prepare() override;
  dlx::String SummaryText() const { return viewer_->Text(); }
  HWND ViewerHandle() const { return viewer_->Handle(); }

 protected:
  void CreateControls() override;

 private:
  dlx::TDLXRichViewer* viewer_ = nullptr;
};
