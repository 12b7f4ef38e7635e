// The wizard's navigation, apart from any window: which pages a run has, which page is shown,
// what Back and Next do and show, how the form reacts to the installer object's events, and
// whether closing the window needs a question.
//
// How the form uses it: TInstallerForm implements IInstallerPageHost (the visual half: hiding,
// placing and showing page windows, the buttons, the close question, closing), fills its page
// list with CreateInstallerPages, owns one TInstallerNavigator over that list and itself, and
// forwards to it: the last construction step (ShowFirstPage), bBackClick and bNextClick
// (BackClick, NextClick), FormCloseQuery (CloseQuery) and IInstallerNotify::Notify (Notify).
#pragma once

#include <cstdint>

#include "core/installer.h"
#include "core/product_info.h"
#include "lib/dlx_string.h"
#include "ui/form/page_list.h"

// The pages the form adds by itself after the product's option pages: the work page and the
// finish page of an installation and of a removal.
struct TInstallerFormPages {
  TInstallerPageClass Install = nullptr;
  TInstallerPageClass Finish = nullptr;
  TInstallerPageClass Uninstall = nullptr;
  TInstallerPageClass UninstallFinish = nullptr;
};

// What the navigation needs to know of the run, asked afresh at every decision.
struct TInstallerRunFacts {
  TInstallerMode Mode = imInstall;
  TInstallerOptions Options;
  TInstallerState State = isIdle;
  bool HasErrors = false;
  // /SUPPRESSMSGBOXES: nobody may be waited for.
  bool MessageBoxesSuppressed = false;
};
TInstallerRunFacts GetRunFacts(const TInstaller& installer);

// Fills an empty page list: the option pages the product names (none for an unattended run),
// then the work page and the finish page of the mode.
void CreateInstallerPages(TInstallerPageList& pages, TInstallerProductInfo& productInfo,
                          const TInstallerRunFacts& run, const TInstallerFormPages& formPages);

// How the buttons and the window's Close command look for the active page.
struct TInstallerButtonState {
  bool BackVisible = false;
  bool NextEnabled = false;
  // The key of the Next caption in the language section "Common".
  dlx::String NextCaptionKey = u"bNext";
  // The Close command of the system menu and the title bar's close box.
  bool CloseEnabled = true;
  bool operator==(const TInstallerButtonState&) const = default;
};

// The form's side of the navigation.
class IInstallerPageHost {
 public:
  virtual TInstallerRunFacts RunFacts() = 0;
  virtual void HidePage(TInstallerCustomPage& page) = 0;
  // Makes the form the page's parent and gives it its page area (full-screen or not); the
  // page's Prepare follows, then ShowPage.
  virtual void PlacePage(TInstallerCustomPage& page) = 0;
  virtual void ShowPage(TInstallerCustomPage& page) = 0;
  // Back's visibility, Next's state and caption, the Close command; then the strip's bounds.
  virtual void ApplyButtons(const TInstallerButtonState& state) = 0;
  // After a page change: focus to Next when nothing has it, and a repaint (header, strip).
  virtual void PageChanged() = 0;
  virtual void Repaint() = 0;
  // Closes the form. It is called from event handlers and from inside CloseQuery, so the form
  // posts its close instead of destroying itself at once.
  virtual void CloseForm() = 0;
  // The close question ("Common"/"QM", OK and Cancel, Cancel the default); true for OK.
  virtual bool ConfirmClose() = 0;
  // Asks the worker thread to stop without waiting for it; its last event (ieFinished) follows.
  virtual void StopWork() = 0;

 protected:
  ~IInstallerPageHost() = default;
};

class TInstallerNavigator {
 public:
  TInstallerNavigator(TInstallerPageList& pages, IInstallerPageHost& host) : pages_(pages), host_(host) {}
  TInstallerNavigator(const TInstallerNavigator&) = delete;
  TInstallerNavigator& operator=(const TInstallerNavigator&) = delete;

  TInstallerCustomPage* ActivePage() const { return active_; }

  // The form's last construction step: the buttons, then the first page that takes part.
  void ShowFirstPage();
  // Hides the active page and shows the page (null: none). When the page's Prepare fails, the
  // page it came from is shown again and the exception goes on to the caller.
  void SetActivePage(TInstallerCustomPage* page);

  TInstallerButtonState ButtonState();
  void UpdateButtons();

  void BackClick();
  // Moves on, or on the last step closes the form.
  void NextClick();
  void Notify(TInstallerEvent event, intptr_t data);
  // Whether the window may close now; asks the user while the work is not finished. On OK before
  // the work started the answer is yes; on OK while it runs the work is asked to stop, the
  // answer is no, and the form is closed when the work's last event arrives.
  bool CloseQuery();

 private:
  // No page that takes part follows the page: Next finishes the wizard there.
  bool IsLastStep(const TInstallerCustomPage* page) const;
  void Finished();

  TInstallerPageList& pages_;
  IInstallerPageHost& host_;
  TInstallerCustomPage* active_ = nullptr;
  bool asking_ = false;  // the close question is open
  bool finishedWhileAsking_ = false;
  bool closing_ = false;  // the user confirmed closing while the work ran
};
