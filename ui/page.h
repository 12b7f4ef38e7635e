// The page base of the wizard: a skinned control that fulfils the page contract, builds its
// controls with a small factory, reads its texts from its own language section and paints the
// installer's background. Also the full-screen page with the wizard picture.
//
// Why the page parent: a library control needs its parent window when it is made, but page
// classes are created through class references without arguments (EnumPages). The form therefore
// opens a TInstallerPageParent while it creates its pages; every page made meanwhile is born as
// the form's hidden child, which is where PlacePage would put it anyway.
#pragma once

#include "lib/ui/accessible.h"
#include "lib/ui/button.h"
#include "lib/ui/control.h"
#include "lib/ui/graphics.h"
#include "lib/ui/label.h"
#include "ui/form/custom_page.h"

class TInstallerResources;

// Makes `parent` the parent of the pages created during its lifetime (they nest).
class TInstallerPageParent {
 public:
  explicit TInstallerPageParent(dlx::TDLXCustomControl& parent);
  ~TInstallerPageParent();
  TInstallerPageParent(const TInstallerPageParent&) = delete;
  TInstallerPageParent& operator=(const TInstallerPageParent&) = delete;
  // The innermost parent; raises when no parent is open.
  static dlx::TDLXCustomControl& Current();

 private:
  dlx::TDLXCustomControl* previous_;
};

// A screen reader meets the page as a property page named after the header's title, with the
// header's description: the form paints both texts, so the page is where they can be read.
class TInstallerPage : public TInstallerCustomPage,
                       public dlx::TDLXCustomControl,
                       private dlx::IDLXAccessibleSource {
 public:
  using TInstallerCustomPage::Name;

  dlx::String Title;
  dlx::String Description;

  // Applies the language texts: Title and Description, then the caption of every named control
  // of the page, at any depth. Subclasses call it first.
  virtual void Localize();
  // A text of the page's own language section.
  dlx::String GetText(const dlx::String& key) const;
  static TInstallerResources& Resources();

  COLORREF BackgroundColor() const override;

 protected:
  explicit TInstallerPage(const char16_t* className);
  // Builds the page's controls; the construction helper calls it once the object is complete.
  virtual void CreateControls() {}
  void Paint(HDC dc, const RECT& client) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  // The factory: a control owned and parented by the page at a 96-DPI rectangle, named (or not).
  template <typename T, typename... Args>
  T& CreateControl(const RECT& bounds, const dlx::String& name, Args&&... args) {
    T& control = Add<T>(std::forward<Args>(args)...);
    control.SetBounds(bounds.left, bounds.top, bounds.right, bounds.bottom);
    control.SetName(name);
    return control;
  }
  // Rectangles are left, top, width, height.
  dlx::TDLXLabel& CreateLabel(const RECT& bounds, const dlx::String& name, bool multiLine);
  dlx::TDLXLabel& CreateHeading(const RECT& bounds, const dlx::String& name);
  dlx::TDLXCheckBox& CreateCheckBox(const RECT& bounds, const dlx::String& name,
                                    std::function<void()> onClick);
  dlx::TDLXRadioBox& CreateRadioBox(const RECT& bounds, const dlx::String& name,
                                    std::function<void()> onClick);

  template <typename T>
  friend std::unique_ptr<TInstallerCustomPage> CreateInstallerPage();

 private:
  dlx::String AccessibleName() override { return Title; }
  long AccessibleRole() override;
  dlx::String AccessibleDescription() override { return Description; }
};

// The class reference of a page of the control library: constructs it, builds its controls and
// translates it, so a page is complete when the page list adds it.
template <typename T>
std::unique_ptr<TInstallerCustomPage> CreateInstallerPage() {
  auto page = std::make_unique<T>();
  TInstallerPage& base = *page;
  base.CreateControls();
  base.Localize();
  return page;
}

// A page that covers the header and the strip: the wizard picture on the left, the heading "L1"
// and the body "L2" beside it.
class TInstallerPageFullScreen : public TInstallerPage {
 public:
  bool IsFullScreen() const override { return true; }

 protected:
  using TInstallerPage::TInstallerPage;
  void CreateControls() override;
  void Paint(HDC dc, const RECT& client) override;
  // The two texts' boxes overlap each other and the place of whatever a subclass adds below the
  // body: the heading goes beneath the body, and both beneath every other control, so no
  // transparent box paints over a text or a control. Called after the last control is made.
  void KeepTextsBehind();

  dlx::TDLXImage picture_;
  dlx::TDLXLabel* body_ = nullptr;
  dlx::TDLXLabel* heading_ = nullptr;
};
