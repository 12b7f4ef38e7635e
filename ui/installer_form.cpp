#include "ui/installer_form.h"

#include <algorithm>

#include "core/errors.h"
#include "core/installer_thread.h"
#include "core/resources.h"
#include "lib/log.h"
#include "lib/ui/dialogs.h"
#include "lib/ui/theme.h"
#include "ui/form/palette.h"
#include "ui/finish_pages.h"
#include "ui/page.h"
#include "ui/work_pages.h"

namespace {

const TInstallerPalette& CurrentPalette() {
  return InstallerPalette(dlx::TDLXTheme::Instance().DarkMode());
}

// A GDI font for the header texts, freed with the object.
class TGdiFont {
 public:
  TGdiFont(int points, int dpi)
      : font_(CreateFontW(-MulDiv(points, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH,
                          L"Segoe UI")) {}
  ~TGdiFont() {
    if (font_) DeleteObject(font_);
  }
  TGdiFont(const TGdiFont&) = delete;
  TGdiFont& operator=(const TGdiFont&) = delete;
  HFONT Handle() const { return font_; }

 private:
  HFONT font_;
};

void LoadPicture(dlx::TDLXImage& image, const dlx::String& name) {
  // A missing picture raises the resources' "Cannot locate" error: the form cannot be made.
  auto data = Installer->Resources().GetFile(name);
  if (!image.LoadFromMemory(data->Memory(), data->Size()))
    throw EInstallerInstallError(u"Cannot read the picture \"" + name + u"\"");
}

dlx::TDLXCustomControl& PageControl(TInstallerCustomPage& page) {
  auto* control = dynamic_cast<dlx::TDLXCustomControl*>(&page);
  if (!control) throw std::logic_error("A wizard page is not a control");
  return *control;
}

// The 96-DPI start and length whose device pixels (the start scaled, plus the length scaled) lie
// inside the device span: rounding both ways must not let a page cover a line of the footer.
void InsideSpan(const dlx::TDLXScaleFactor& scale, int from, int to, int& start, int& length) {
  start = scale.Unapply(from);
  while (scale.Apply(start) < from) ++start;
  length = scale.Unapply(to - scale.Apply(start));
  while (length > 0 && scale.Apply(start) + scale.Apply(length) > to) --length;
  length = std::max(length, 0);
}

}  // namespace

TInstallerFormPages TInstallerForm::StandardFormPages() {
  return {&CreateInstallerPage<TInstallerPageInstall>, &CreateInstallerPage<TInstallerPageFinish>,
          &CreateInstallerPage<TInstallerPageUninstall>, &CreateInstallerPage<TInstallerPageUninstallFinish>};
}

TInstallerForm::TInstallerForm(TInstallerFormPages formPages, TPageFiller fillPages)
    : dlx::TDLXForm(nullptr),
      formPages_(formPages),
      fillPages_(std::move(fillPages)),
      progressViewInfo_([this](int value) { return ScaleValue(value); }),
      formViewInfo_([this](int value) { return ScaleValue(value); }) {
  if (!Installer) throw std::logic_error("The installer form needs the installer object");
  SetBorderStyle(dlx::TDLXBorderStyle::bsSingle);
  SetBorderIcons(dlx::biSystemMenu);
  SetPosition(dlx::TDLXFormPosition::poScreenCenter);
  SetClientSize(640, 480);
  dlx::TDLXFont font;
  font.Name = u"Segoe UI";
  font.Size = 8;
  SetFont(font);

  lbVerInfo_ = &Add<dlx::TDLXLabel>();
  lbVerInfo_->SetName(u"lbVerInfo");
  lbVerInfo_->SetTransparent(true);
  lbVerInfo_->SetVerticalAlignment(dlx::TDLXVerticalAlign::vaCenter);
  lbVerInfo_->SetBounds(12, 447, 257, 25);
  bBack_ = &Add<dlx::TDLXButton>();
  bBack_->SetName(u"bBack");
  bBack_->SetBounds(384, 447, 121, 25);
  bBack_->OnClick = [this] { Guarded([this] { navigator_.BackClick(); }); };
  bNext_ = &Add<dlx::TDLXButton>();
  bNext_->SetName(u"bNext");
  bNext_->SetBounds(511, 447, 121, 25);
  bNext_->SetDefault(true);
  bNext_->OnClick = [this] { Guarded([this] { navigator_.NextClick(); }); };
  OnCloseQuery = [this](bool& allow) {
    allow = false;
    Guarded([this, &allow] { allow = navigator_.CloseQuery(); });
  };

  LoadPicture(header_, TInstallerFormViewInfo::HeaderPictureName(false));
  LoadPicture(headerDark_, TInstallerFormViewInfo::HeaderPictureName(true));
  ApplyPalette();
  Installer->AddListener(this);
  listening_ = true;
}

TInstallerForm::~TInstallerForm() {
  if (!Installer) return;
  // The programs chosen on the finish page start only after a run that took place.
  if (Installer->State() == isFinished) {
    try {
      Installer->RunPostInstallActions();
    } catch (const std::exception& e) {
      dlx::Log(std::string("Post-install actions failed: ") + e.what());
    }
  }
  if (listening_) Installer->RemoveListener(this);
}

void TInstallerForm::AfterConstruction() {
  {
    TInstallerPageParent parent(*this);
    if (fillPages_)
      fillPages_(pages_);
    else
      CreateInstallerPages(pages_, Installer->ProductInfo(), RunFacts(), formPages_);
  }
  Localize();
  navigator_.ShowFirstPage();
}

void TInstallerForm::Localize() {
  TInstallerResources& resources = Installer->Resources();
  SetCaption(resources.GetString(u"Common", u"Caption"));
  bBack_->SetCaption(resources.GetString(u"Common", u"bBack"));
  bNext_->SetCaption(resources.GetString(u"Common", u"bNext"));
  dlx::TDLXDialogStrings& strings = dlx::DialogStrings();
  strings.FolderDialogCaption = resources.GetString(u"Common", u"lBrowse");
  strings.NewFolder = resources.GetString(u"Common", u"lNewFolder");
  strings.ButtonCaptions[dlx::bcCancel] = resources.GetString(u"Common", u"lCancel");
  strings.ButtonCaptions[dlx::bcOk] = resources.GetString(u"Common", u"lOk");
  lbVerInfo_->SetCaption(Installer->ProductInfo().GetFullVersion());
}

void TInstallerForm::ApplyPalette() {
  dlx::TDLXFont font = lbVerInfo_->Font();
  font.Color = CurrentPalette().VersionText;
  lbVerInfo_->SetFont(font);
}

RECT TInstallerForm::ClientRect() const {
  RECT client{};
  GetClientRect(handle_, &client);
  return client;
}

void TInstallerForm::UpdateProgressBounds() {
  progressViewInfo_.SetBounds(formViewInfo_.Layout(ClientRect()).Strip, pages_.Count());
}

void TInstallerForm::Notify(TInstallerEvent event, intptr_t data) {
  Guarded([this, event, data] { navigator_.Notify(event, data); });
}

void TInstallerForm::Guarded(const std::function<void()>& handler) {
  // Nothing may leave a window procedure as an exception: the error is shown where it happened
  // and the wizard stays on the page the navigation left it on.
  try {
    handler();
  } catch (const std::exception& e) {
    const dlx::String text = dlx::FromUtf8(e.what());
    dlx::Log(u"Wizard: " + text);
    dlx::DLXMessageBox(handle_, text, Caption(), MB_OK | MB_ICONERROR);
  }
}

TInstallerRunFacts TInstallerForm::RunFacts() {
  return GetRunFacts(*Installer);
}

void TInstallerForm::HidePage(TInstallerCustomPage& page) {
  PageControl(page).SetVisible(false);
}

void TInstallerForm::PlacePage(TInstallerCustomPage& page) {
  dlx::TDLXCustomControl& control = PageControl(page);
  // The view info answers device pixels; the control takes 96-DPI lengths.
  const RECT bounds = formViewInfo_.GetPageBounds(ClientRect(), page.IsFullScreen());
  int left, top, width, height;
  InsideSpan(Scale(), bounds.left, bounds.right, left, width);
  InsideSpan(Scale(), bounds.top, bounds.bottom, top, height);
  control.SetBounds(left, top, width, height);
}

void TInstallerForm::ShowPage(TInstallerCustomPage& page) {
  PageControl(page).SetVisible(true);
}

void TInstallerForm::ApplyButtons(const TInstallerButtonState& state) {
  bBack_->SetVisible(state.BackVisible);
  bNext_->SetEnabled(state.NextEnabled);
  bNext_->SetCaption(Installer->Resources().GetString(u"Common", state.NextCaptionKey));
  if (!state.CloseEnabled) DisableCloseCommand();
  UpdateProgressBounds();
}

void TInstallerForm::PageChanged() {
  HWND focus = GetFocus();
  const bool focusInForm = focus && (focus == handle_ || IsChild(handle_, focus));
  if (!focusInForm && bNext_->CanFocus()) bNext_->SetFocus();
  Repaint();
}

void TInstallerForm::Repaint() {
  Invalidate();
}

void TInstallerForm::CloseForm() {
  PostMessageW(handle_, WM_CLOSE, 0, 0);
}

bool TInstallerForm::ConfirmClose() {
  const int answer = dlx::DLXMessageBox(handle_, Installer->Resources().GetString(u"Common", u"QM"),
                                        Caption(), MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2);
  return answer == IDOK;
}

void TInstallerForm::StopWork() {
  if (TInstallerThread* thread = Installer->Thread()) thread->Terminate();
}

void TInstallerForm::ScaleChanged() {
  dlx::TDLXForm::ScaleChanged();
  UpdateProgressBounds();
  Repaint();
}

void TInstallerForm::DoColorSchemeChanged(unsigned flags) {
  dlx::TDLXForm::DoColorSchemeChanged(flags);
  if (flags & dlx::ccDarkMode) {
    ApplyPalette();
    Repaint();
  }
}

LRESULT TInstallerForm::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // Paint draws every pixel of the client area.
  if (message == WM_ERASEBKGND) return 1;
  return dlx::TDLXForm::WindowProc(message, wParam, lParam);
}

COLORREF TInstallerForm::BackgroundColor() const {
  return CurrentPalette().Background;
}

void TInstallerForm::PaintBackground(HDC dc, const RECT& rect) {
  // Transparent children (the version label on the footer) show the painted form behind them.
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
  Paint(dc, ClientRect());
  RestoreDC(dc, saved);
}

void TInstallerForm::Paint(HDC dc, const RECT& client) {
  const TInstallerPalette& palette = CurrentPalette();
  const TInstallerFormLayout layout = formViewInfo_.Layout(client);
  dlx::FillSolidRect(dc, client, palette.Background);
  dlx::FillSolidRect(dc, layout.Footer, palette.Accent);
  for (const RECT& line : layout.FooterLines) dlx::FillSolidRect(dc, line, palette.Accent);
  (dlx::TDLXTheme::Instance().DarkMode() ? headerDark_ : header_).Draw(dc, layout.Header, 255);
  dlx::FillSolidRect(dc, layout.HeaderBottomLine, palette.Accent);
  PaintHeaderTexts(dc, client);

  TInstallerCustomPage* page = navigator_.ActivePage();
  const TInstallerStripShapes shapes =
      progressViewInfo_.Shapes(pages_.IndexOf(page), page ? page->GetProgress() : 0);
  dlx::FillSolidRect(dc, shapes.Background, palette.StripBackground);
  for (const RECT& dash : shapes.Dashes) dlx::FillSolidRect(dc, dash, palette.Accent);
  if (!IsRectEmpty(&shapes.Solid)) dlx::FillSolidRect(dc, shapes.Solid, palette.Accent);
}

void TInstallerForm::PaintHeaderTexts(HDC dc, const RECT& client) {
  auto* page = dynamic_cast<TInstallerPage*>(navigator_.ActivePage());
  if (!page || page->IsFullScreen()) return;
  const int dpi = ScaleValue(96);
  const RECT box = formViewInfo_.Layout(client).HeaderText;
  const int width = box.right - box.left;
  const int saved = SaveDC(dc);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, CurrentPalette().HeaderText);

  TGdiFont titleFont(11, dpi);
  SelectObject(dc, titleFont.Handle());
  RECT measure{0, 0, width, 0};
  DrawTextW(dc, dlx::W(page->Title), -1, &measure, DT_CALCRECT | DT_NOPREFIX);
  RECT title = formViewInfo_.TitleBounds(client, measure.bottom - measure.top);
  DrawTextW(dc, dlx::W(page->Title), -1, &title, DT_LEFT | DT_NOPREFIX | DT_NOCLIP);

  TGdiFont descriptionFont(8, dpi);
  SelectObject(dc, descriptionFont.Handle());
  measure = RECT{0, 0, width, 0};
  DrawTextW(dc, dlx::W(page->Description), -1, &measure, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  RECT description = formViewInfo_.DescriptionBounds(client, measure.bottom - measure.top);
  DrawTextW(dc, dlx::W(page->Description), -1, &description, DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  RestoreDC(dc, saved);
}
