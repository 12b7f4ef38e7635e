#include "ui/informational_pages.h"

#include "core/action.h"
#include "core/installer.h"
#include "core/product_info.h"
#include "core/resources.h"

void TInstallerPageLicense::CreateControls() {
  viewer_ = &Add<dlx::TDLXRichViewer>();
  viewer_->SetAlign(dlx::TDLXAlign::alClient);
  viewer_->SetMargins({28, 22, 28, 4});
  accept_ = &CreateCheckBox({0, 0, 100, 16}, u"L1", [this] { NotifyStateChanged(); });
  accept_->SetAlign(dlx::TDLXAlign::alBottom);
  accept_->SetMargins({28, 4, 28, 22});
}

void TInstallerPageLicense::Prepare() {
  // Without a license document for the family or for English, the viewer keeps what it shows.
  if (auto stream = Resources().GetLicenseStream()) {
    stream->SetPosition(0);
    viewer_->LoadFromStream(*stream, true);
  }
}

void TInstallerPageLicense::SetVisible(bool visible) {
  TInstallerPage::SetVisible(visible);
  // The text is what to read first while the terms are not yet accepted.
  if (visible && !accept_->Checked() && viewer_->CanFocus()) viewer_->SetFocus();
}

void TInstallerPageReadyToInstall::CreateControls() {
  viewer_ = &Add<dlx::TDLXRichViewer>();
  viewer_->SetAlign(dlx::TDLXAlign::alClient);
  viewer_->SetMargins({28, 22, 28, 22});
  // Read-only, but enabled: a disabled control is drawn greyed, and the summary is what the user
  // is asked to read before installing (and may scroll with the keyboard).
}

void TInstallerPageReadyToInstall::Prepare() {
  // The options may have changed since the last visit: every action describes itself again.
  TInstallerSummaryBuilder builder;
  Installer->ProductInfo().EnumActions([&builder](TInstallerActionClass actionClass) {
    if (!actionClass) return;
    if (auto action = actionClass()) action->BuildSummary(builder);
  });
  viewer_->SetPlainText(builder.ToString());
}
