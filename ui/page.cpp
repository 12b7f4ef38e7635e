#include "ui/page.h"

#include <oleacc.h>

#include <stdexcept>

#include "core/installer.h"
#include "core/resources.h"
#include "lib/ui/theme.h"
#include "ui/form/palette.h"

namespace {
dlx::TDLXCustomControl* gPageParent = nullptr;

COLORREF PageBackground() {
  return InstallerPalette(dlx::TDLXTheme::Instance().DarkMode()).Background;
}

// Every named control at any depth, depth first in creation order.
void LocalizeControls(TInstallerPage& page, const dlx::TDLXCustomControl& parent) {
  for (dlx::TDLXCustomControl* control : parent.Controls()) {
    if (!control->Name().empty()) control->SetCaption(page.GetText(control->Name()));
    LocalizeControls(page, *control);
  }
}
}  // namespace

TInstallerPageParent::TInstallerPageParent(dlx::TDLXCustomControl& parent) : previous_(gPageParent) {
  gPageParent = &parent;
}

TInstallerPageParent::~TInstallerPageParent() {
  gPageParent = previous_;
}

dlx::TDLXCustomControl& TInstallerPageParent::Current() {
  if (!gPageParent) throw std::logic_error("A wizard page was created without a form to hold it");
  return *gPageParent;
}

TInstallerPage::TInstallerPage(const char16_t* className)
    : TInstallerCustomPage(className), dlx::TDLXCustomControl(&TInstallerPageParent::Current()) {
  dlx::TDLXCustomControl::SetName(TInstallerCustomPage::Name());
  // Hidden until the form shows it; a container of tab stops for the dialog keys.
  CreateHandle(RegisterControlClass(L"ZUVAInstallerPage"), WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
}

TInstallerResources& TInstallerPage::Resources() {
  if (!Installer) throw std::logic_error("The wizard pages need the installer object");
  return Installer->Resources();
}

dlx::String TInstallerPage::GetText(const dlx::String& key) const {
  return Resources().GetString(TInstallerCustomPage::Name(), key);
}

void TInstallerPage::Localize() {
  Title = GetText(u"Title");
  Description = GetText(u"Description");
  // The window text too, for tools that read windows rather than accessible objects.
  SetCaption(Title);
  LocalizeControls(*this, *this);
}

long TInstallerPage::AccessibleRole() {
  return ROLE_SYSTEM_PROPERTYPAGE;
}

LRESULT TInstallerPage::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GETOBJECT)
    if (const LRESULT answer = dlx::AnswerGetObject(handle_, wParam, lParam, *this)) return answer;
  return dlx::TDLXCustomControl::WindowProc(message, wParam, lParam);
}

COLORREF TInstallerPage::BackgroundColor() const {
  return PageBackground();
}

void TInstallerPage::Paint(HDC dc, const RECT& client) {
  dlx::FillSolidRect(dc, client, PageBackground());
}

dlx::TDLXLabel& TInstallerPage::CreateLabel(const RECT& bounds, const dlx::String& name, bool multiLine) {
  auto& label = CreateControl<dlx::TDLXLabel>(bounds, name);
  if (multiLine) label.SetVerticalAlignment(dlx::TDLXVerticalAlign::vaTop);
  label.SetWordWrap(multiLine);
  label.SetTransparent(true);
  return label;
}

dlx::TDLXLabel& TInstallerPage::CreateHeading(const RECT& bounds, const dlx::String& name) {
  auto& label = CreateLabel(bounds, name, false);
  dlx::TDLXFont font = label.Font();
  font.Name = u"Segoe UI";
  font.Size = 11;
  label.SetFont(font);
  return label;
}

dlx::TDLXCheckBox& TInstallerPage::CreateCheckBox(const RECT& bounds, const dlx::String& name,
                                                  std::function<void()> onClick) {
  auto& box = CreateControl<dlx::TDLXCheckBox>(bounds, name);
  box.OnClick = std::move(onClick);
  return box;
}

dlx::TDLXRadioBox& TInstallerPage::CreateRadioBox(const RECT& bounds, const dlx::String& name,
                                                  std::function<void()> onClick) {
  auto& box = CreateControl<dlx::TDLXRadioBox>(bounds, name);
  box.OnClick = std::move(onClick);
  return box;
}

void TInstallerPageFullScreen::CreateControls() {
  // Chosen once: a page made in one mode keeps its picture when the mode switches.
  const bool dark = dlx::TDLXTheme::Instance().DarkMode();
  auto data = Resources().GetFile(dark ? u"wizard_dark.png" : u"wizard_light.png");
  picture_.LoadFromMemory(data->Memory(), static_cast<size_t>(data->Size()));
  body_ = &CreateLabel({210, 61, 400, 240}, u"L2", true);
  heading_ = &CreateLabel({210, 22, 400, 50}, u"L1", true);
  dlx::TDLXFont font = heading_->Font();
  font.Size = 11;
  heading_->SetFont(font);
  KeepTextsBehind();
}

void TInstallerPageFullScreen::KeepTextsBehind() {
  body_->SendToBack();
  heading_->SendToBack();
}

void TInstallerPageFullScreen::Paint(HDC dc, const RECT& client) {
  dlx::FillSolidRect(dc, client, PageBackground());
  picture_.Draw(dc, RECT{0, 0, ScaleValue(188), ScaleValue(435)}, 255);
}
