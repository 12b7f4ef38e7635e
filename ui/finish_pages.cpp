#include "ui/finish_pages.h"

#include "core/installer.h"
#include "core/product_info.h"
#include "core/resources.h"
#include "core/script/install_script.h"

void TInstallerPageCustomFinish::CreateControls() {
  TInstallerPageFullScreen::CreateControls();
  errors_ = &Add<dlx::TDLXMemo>();
  errors_->SetReadOnly(true);
  errors_->SetAlign(dlx::TDLXAlign::alClient);
  errors_->SetMargins({210, 120, 20, 4});
  errors_->SetVisible(false);
  KeepTextsBehind();
}

bool TInstallerPageCustomFinish::ShowsErrors() const {
  return errors_->Visible();
}

void TInstallerPageCustomFinish::Prepare() {
  const bool failed = Installer->HasErrors();
  errors_->SetVisible(failed);
  if (!failed) return;
  dlx::TDLXFont font = heading_->Font();
  font.Color = RGB(255, 0, 0);
  heading_->SetFont(font);
  heading_->SetCaption(GetText(u"E1"));
  errors_->SetText(Installer->ErrorText());
  body_->SetCaption(GetText(u"E2"));
}

void TInstallerPageFinish::CreateControls() {
  TInstallerPageCustomFinish::CreateControls();
  homePage_ = &CreateLabel({0, 0, 100, 17}, u"L3", false);
  homePage_->SetMargins({210, 0, 20, 4});
  homePage_->SetAlign(dlx::TDLXAlign::alBottom);
  homePage_->SetAlignment(dlx::TDLXTextAlign::taCenter);
  homePage_->SetAutoSize(true);
  dlx::TDLXFont font = homePage_->Font();
  font.Size = 8;
  font.Color = RGB(0, 102, 204);
  homePage_->SetFont(font);
  homePage_->SetUrl(Installer->ProductInfo().GetHomePage());

  const TInstallerScriptGroup& actions = Resources().Script().Actions();
  for (int i = 0; i < actions.Count(); ++i) {
    auto& box = CreateCheckBox({210, 120 + 24 * i, 320, 17}, u"CB" + dlx::IntToStr(i + 1),
                               [this] { StoreChoices(); });
    box.SetChecked(true);
    runBoxes_.push_back(&box);
  }
  KeepTextsBehind();
}

void TInstallerPageFinish::Prepare() {
  TInstallerPageCustomFinish::Prepare();
  const TInstallerScriptGroup& actions = Resources().Script().Actions();
  const bool offer = !ShowsErrors();
  for (int i = 0; i < actions.Count() && i < static_cast<int>(runBoxes_.size()); ++i) {
    runBoxes_[i]->SetCaption(GetText(actions.Items(i)->GetSourceName()));
    runBoxes_[i]->SetVisible(offer);
  }
  StoreChoices();
}

void TInstallerPageFinish::StoreChoices() {
  const TInstallerScriptGroup& actions = Resources().Script().Actions();
  for (int i = 0; i < actions.Count() && i < static_cast<int>(runBoxes_.size()); ++i)
    Installer->Settings().WriteBool(u"Actions", actions.Items(i)->Name, runBoxes_[i]->Checked());
}
