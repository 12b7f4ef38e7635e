// The wizard's one window: a painted header with the active page's title and description, the
// progress strip, the page area and a painted footer with the version and the Back and Next
// buttons. The navigation itself is TInstallerNavigator's; the form is its visual half and the
// listener of the installer object.
#pragma once

#include <functional>
#include <memory>

#include "core/installer.h"
#include "lib/ui/button.h"
#include "lib/ui/form.h"
#include "lib/ui/graphics.h"
#include "lib/ui/label.h"
#include "ui/form/navigation.h"
#include "ui/form/view_info.h"

class TInstallerForm : public dlx::TDLXForm, public IInstallerPageHost, public IInstallerNotify {
 public:
  // Fills the page list; the default asks the product information for its pages and adds the
  // form's own pages of the run's mode.
  using TPageFiller = std::function<void(TInstallerPageList& pages)>;

  explicit TInstallerForm(TInstallerFormPages formPages = StandardFormPages(), TPageFiller fillPages = {});

  // The wizard's own work and finish pages.
  static TInstallerFormPages StandardFormPages();
  ~TInstallerForm() override;

  void AfterConstruction() override;

  TInstallerPageList& Pages() { return pages_; }
  TInstallerNavigator& Navigator() { return navigator_; }
  dlx::TDLXButton& BackButton() { return *bBack_; }
  dlx::TDLXButton& NextButton() { return *bNext_; }
  dlx::TDLXLabel& VersionLabel() { return *lbVerInfo_; }

  // IInstallerNotify: runs on the main thread.
  void Notify(TInstallerEvent event, intptr_t data) override;

  COLORREF BackgroundColor() const override;
  void PaintBackground(HDC dc, const RECT& rect) override;

 protected:
  void Paint(HDC dc, const RECT& client) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void ScaleChanged() override;
  void DoColorSchemeChanged(unsigned flags) override;

  // IInstallerPageHost
  TInstallerRunFacts RunFacts() override;
  void HidePage(TInstallerCustomPage& page) override;
  void PlacePage(TInstallerCustomPage& page) override;
  void ShowPage(TInstallerCustomPage& page) override;
  void ApplyButtons(const TInstallerButtonState& state) override;
  void PageChanged() override;
  void Repaint() override;
  void CloseForm() override;
  bool ConfirmClose() override;
  void StopWork() override;

 private:
  // Runs an event handler of the form; an exception it raises is logged and shown.
  void Guarded(const std::function<void()>& handler);
  void Localize();
  void UpdateProgressBounds();
  void ApplyPalette();
  void PaintHeaderTexts(HDC dc, const RECT& client);
  RECT ClientRect() const;

  TInstallerFormPages formPages_;
  TPageFiller fillPages_;
  dlx::TDLXButton* bBack_ = nullptr;
  dlx::TDLXButton* bNext_ = nullptr;
  dlx::TDLXLabel* lbVerInfo_ = nullptr;
  TInstallerPageList pages_;
  TInstallerNavigator navigator_{pages_, *this};
  TInstallerProgressViewInfo progressViewInfo_;
  TInstallerFormViewInfo formViewInfo_;
  dlx::TDLXImage header_;
  dlx::TDLXImage headerDark_;
  bool listening_ = false;
};
