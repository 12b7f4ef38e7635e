#include "ui/form/navigation.h"

#include "lib/win/system.h"

TInstallerRunFacts GetRunFacts(const TInstaller& installer) {
  TInstallerRunFacts run;
  run.Mode = installer.Mode();
  run.Options = installer.Options();
  run.State = installer.State();
  run.HasErrors = installer.HasErrors();
  run.MessageBoxesSuppressed = dlx::MessageBoxesSuppressed();
  return run;
}

void CreateInstallerPages(TInstallerPageList& pages, TInstallerProductInfo& productInfo,
                          const TInstallerRunFacts& run, const TInstallerFormPages& formPages) {
  // An unattended run has nothing to ask: it shows the work and, after errors, the finish page.
  if (!run.Options.Contains(ioAuto))
    productInfo.EnumPages([&pages](TInstallerPageClass pageClass) { pages.AddPage(pageClass); });
  if (run.Mode == imUninstall) {
    pages.AddPage(formPages.Uninstall);
    pages.AddPage(formPages.UninstallFinish);
  } else {
    pages.AddPage(formPages.Install);
    pages.AddPage(formPages.Finish);
  }
}

void TInstallerNavigator::ShowFirstPage() {
  UpdateButtons();
  SetActivePage(pages_.NextAvailable(nullptr));
}

void TInstallerNavigator::SetActivePage(TInstallerCustomPage* page) {
  if (page == active_) return;
  TInstallerCustomPage* previous = active_;
  if (previous) {
    host_.HidePage(*previous);
    active_ = nullptr;
  }
  if (page) {
    active_ = page;
    host_.PlacePage(*page);
    try {
      page->Prepare();
    } catch (...) {
      // A page that could not prepare itself is not left active behind a hidden window: the
      // wizard stays usable on the page the user came from, and the caller reports the error.
      if (active_ == page) {
        host_.HidePage(*page);
        active_ = previous;
        if (previous) host_.ShowPage(*previous);
        UpdateButtons();
        host_.PageChanged();
      }
      throw;
    }
    // Prepare may deliver events (the install page starts the work); when one of them moved
    // the wizard on, that page change has already been made.
    if (active_ != page) return;
    host_.ShowPage(*page);
  }
  UpdateButtons();
  host_.PageChanged();
}

bool TInstallerNavigator::IsLastStep(const TInstallerCustomPage* page) const {
  return page && !pages_.NextAvailable(page);
}

TInstallerButtonState TInstallerNavigator::ButtonState() {
  TInstallerButtonState state;
  state.BackVisible = pages_.CanGoBackFrom(active_);
  // The last step always lets the user finish, whatever its CanGoNext says.
  state.NextEnabled = pages_.CanGoNextFrom(active_) || IsLastStep(active_);
  const TInstallerCustomPage* next = pages_.NextAvailable(active_);
  if (!next)
    state.NextCaptionKey = u"bFinish";
  else if (next->Kind() == pkUninstall)
    state.NextCaptionKey = u"bUninstall";
  else if (next->Kind() == pkInstall)
    state.NextCaptionKey = u"bInstall";
  else
    state.NextCaptionKey = u"bNext";
  // Once the work has finished, the wizard is left with the Finish button only.
  state.CloseEnabled = host_.RunFacts().State != isFinished;
  return state;
}

void TInstallerNavigator::UpdateButtons() {
  host_.ApplyButtons(ButtonState());
}

void TInstallerNavigator::BackClick() {
  if (pages_.CanGoBackFrom(active_)) SetActivePage(pages_.PrevAvailable(active_));
}

void TInstallerNavigator::NextClick() {
  if (pages_.CanGoNextFrom(active_))
    SetActivePage(pages_.NextAvailable(active_));
  else if (IsLastStep(active_))
    host_.CloseForm();
}

void TInstallerNavigator::Notify(TInstallerEvent event, intptr_t data) {
  switch (event) {
    case ieFinished:
      if (closing_) {
        // The user confirmed closing while the work ran. Now that it has stopped, the finish page
        // shows what the rollback did, and the form goes when the user has read it; a run
        // without message boxes has nobody to read it (its log has the same lines).
        if (host_.RunFacts().MessageBoxesSuppressed) {
          host_.CloseForm();
          return;
        }
        closing_ = false;
        Finished();
        return;
      }
      if (asking_) {
        // The close question is open: its answer decides first (see CloseQuery).
        finishedWhileAsking_ = true;
        return;
      }
      Finished();
      return;
    case iePageStateChanged:
      UpdateButtons();
      return;
    case ieRepaint:
      host_.Repaint();
      return;
    case ieProgress:
    case ieStatusText:
      return;  // the work page shows them
  }
}

void TInstallerNavigator::Finished() {
  const TInstallerRunFacts run = host_.RunFacts();
  // An unattended run closes by itself when it succeeded, and also after errors when nobody may be
  // waited for (the errors are in the log and the exit code); otherwise the finish page follows.
  if (run.Options.Contains(ioAuto) && (!run.HasErrors || run.MessageBoxesSuppressed)) {
    host_.CloseForm();
    return;
  }
  TInstallerCustomPage* before = active_;
  NextClick();
  // Staying on the page (nothing follows it) still shows that the work is over.
  if (active_ == before) UpdateButtons();
}

bool TInstallerNavigator::CloseQuery() {
  // A second request while the question is open changes nothing, nor does one while the work
  // is stopping; once it has stopped the form may go.
  if (asking_) return false;
  if (host_.RunFacts().State == isFinished) return true;
  if (closing_) return false;
  asking_ = true;
  bool confirmed = false;
  try {
    confirmed = host_.ConfirmClose();
  } catch (...) {
    asking_ = false;
    throw;
  }
  asking_ = false;
  const bool finishedWhileAsking = finishedWhileAsking_;
  finishedWhileAsking_ = false;
  if (confirmed) {
    if (host_.RunFacts().State != isRunning) return true;
    // The worker may be waiting for this very thread (its events are sent, and the question can
    // open inside one of them): waiting for it here could never end. It is asked to stop, and
    // its last event closes the form.
    closing_ = true;
    host_.StopWork();
    return false;
  }
  if (finishedWhileAsking) Finished();
  return false;
}
