#include "ui/work_pages.h"

#include "lib/ui/form.h"

TInstallerPageInstall::TInstallerPageInstall(const char16_t* className) : TInstallerPage(className) {
  Installer->AddListener(this);
  listening_ = true;
}

TInstallerPageInstall::~TInstallerPageInstall() {
  // Before the bars go: no event may reach a page whose controls are being freed.
  if (listening_ && Installer) Installer->RemoveListener(this);
}

void TInstallerPageInstall::CreateControls() {
  status_ = &CreateLabel({30, 16, 580, 18}, u"", false);
  status_->SetCaption(GetText(u"L1"));
  dlx::TDLXFont font = status_->Font();
  font.Size = 8;
  status_->SetFont(font);
  stepBar_ = &CreateControl<dlx::TDLXProgressBar>({30, 40, 580, 18}, u"");
  overallBar_ = &CreateControl<dlx::TDLXProgressBar>({30, 65, 580, 18}, u"");
  stepBar_->SetRange(0, 100);
  overallBar_->SetRange(0, 100);
}

int TInstallerPageInstall::GetProgress() const {
  return static_cast<int>(overallBar_->Progress());
}

void TInstallerPageInstall::Prepare() {
  Installer->Start(false);
}

void TInstallerPageInstall::Notify(TInstallerEvent event, intptr_t data) {
  switch (event) {
    case ieFinished:
      finished_ = true;
      return;
    case ieProgress: {
      const int step = static_cast<int>(data & 0xFFFF);
      const int overall = static_cast<int>((data >> 16) & 0xFFFF);
      // The worker reports often; only a change is worth a repaint and a turn of the queue.
      if (step == static_cast<int>(stepBar_->Progress()) && overall == static_cast<int>(overallBar_->Progress()))
        return;
      stepBar_->SetProgress(step);
      overallBar_->SetProgress(overall);
      dlx::TDLXForm::ProcessMessages();
      return;
    }
    case ieStatusText:
      status_->SetCaption(*reinterpret_cast<const dlx::String*>(data));
      dlx::TDLXForm::ProcessMessages();
      return;
    default:
      return;
  }
}
