// The pages on which the work runs: the install page starts the installer object's worker when it
// is shown and follows its progress; the uninstall page is the same for a removal.
#pragma once

#include "core/installer.h"
#include "lib/ui/progress_bar.h"
#include "ui/page.h"

class TInstallerPageInstall : public TInstallerPage, public IInstallerNotify {
 public:
  TInstallerPageInstall() : TInstallerPageInstall(u"TInstallerPageInstall") {}
  ~TInstallerPageInstall() override;

  // There is no way back to the options once the work runs, and no way on before it ends.
  bool CanGoBack() const override { return false; }
  bool CanGoNext() const override { return finished_; }
  int GetProgress() const override;
  // Starts the work; a second visit starts nothing, since the installer object is no longer idle.
  void Prepare() override;
  TInstallerPageKind Kind() const override { return pkInstall; }

  // Seen before the form sees it (listeners are called newest first).
  void Notify(TInstallerEvent event, intptr_t data) override;

  const dlx::TDLXProgressBar& StepBar() const { return *stepBar_; }
  const dlx::TDLXProgressBar& OverallBar() const { return *overallBar_; }
  dlx::String StatusText() const { return status_->Caption(); }

 protected:
  explicit TInstallerPageInstall(const char16_t* className);
  void CreateControls() override;

 private:
  dlx::TDLXLabel* status_ = nullptr;
  dlx::TDLXProgressBar* stepBar_ = nullptr;
  dlx::TDLXProgressBar* overallBar_ = nullptr;
  bool finished_ = false;
  bool listening_ = false;
};

class TInstallerPageUninstall : public TInstallerPageInstall {
 public:
  TInstallerPageUninstall() : TInstallerPageInstall(u"TInstallerPageUninstall") {}
  TInstallerPageKind Kind() const override { return pkUninstall; }
};
