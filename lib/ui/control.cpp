#include "lib/ui/control.h"

#include <algorithm>

#include "lib/log.h"
#include "lib/ui/form.h"
#include "lib/ui/graphics.h"

namespace dlx {
namespace {

const wchar_t kControlProperty[] = L"DLX.Control";

}  // namespace

TDLXCustomControl::TDLXCustomControl(TDLXCustomControl* parent) : parent_(parent) {
  if (parent_) {
    parent_->children_.push_back(this);
    scale_ = parent_->scale_;
  }
}

TDLXCustomControl::~TDLXCustomControl() {
  while (!owned_.empty()) owned_.pop_back();
  if (handle_) DestroyWindow(handle_);
  if (handle_) Detach();
  if (fontHandle_) DeleteObject(fontHandle_);
  if (parent_) {
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

TDLXCustomControl* TDLXCustomControl::FromHandle(HWND window) {
  return window ? static_cast<TDLXCustomControl*>(GetPropW(window, kControlProperty)) : nullptr;
}

TDLXForm* TDLXCustomControl::Form() {
  TDLXCustomControl* control = this;
  while (control->parent_) control = control->parent_;
  return dynamic_cast<TDLXForm*>(control);
}

const wchar_t* TDLXCustomControl::RegisterControlClass(const wchar_t* name, UINT classStyle) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &existing)) return name;
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.style = classStyle;
  windowClass.lpfnWndProc = &StaticWindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.lpszClassName = name;
  if (!RegisterClassExW(&windowClass))
    Log(u"Cannot register the window class " + FromW(name) + u" (" + IntToStr(GetLastError()) + u")");
  return name;
}

void TDLXCustomControl::CreateHandle(const wchar_t* className, DWORD style, DWORD exStyle, const String& text,
                                     HWND owner) {
  HWND parentWindow = parent_ ? parent_->handle_ : owner;
  HMENU id = nullptr;
  if (parent_) {
    TDLXCustomControl* root = this;
    while (root->parent_) root = root->parent_;
    style |= WS_CHILD | WS_CLIPSIBLINGS;
    if (!JoinsPreviousGroup()) style |= WS_GROUP;
    id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(root->nextId_++));
  }
  const RECT pixels = PixelBounds();
  HWND window =
      CreateWindowExW(exStyle, className, W(text), style, pixels.left, pixels.top, pixels.right - pixels.left,
                      pixels.bottom - pixels.top, parentWindow, id, GetModuleHandleW(nullptr), this);
  if (!window) {
    const DWORD error = GetLastError();
    throw EDLXException(u"Cannot create a window of class " + FromW(className) + u" (" + IntToStr(error) +
                        u")");
  }
  if (FromHandle(window) != this) {
    // A system class: its procedure stays in charge of everything the library does not change.
    Attach(window);
    originalProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&StaticWindowProc)));
  } else {
    ownsPainting_ = true;
  }
  SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
  if (parent_ && align_ != TDLXAlign::alNone) parent_->Realign();
}

void TDLXCustomControl::Attach(HWND window) {
  handle_ = window;
  SetPropW(window, kControlProperty, this);
}

void TDLXCustomControl::Detach() {
  if (!handle_) return;
  RemovePropW(handle_, kControlProperty);
  if (originalProc_) SetWindowLongPtrW(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalProc_));
  originalProc_ = nullptr;
  handle_ = nullptr;
}

LRESULT CALLBACK TDLXCustomControl::StaticWindowProc(HWND window, UINT message, WPARAM wParam,
                                                     LPARAM lParam) {
  TDLXCustomControl* control = FromHandle(window);
  if (!control && message == WM_NCCREATE) {
    control = static_cast<TDLXCustomControl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    if (control) control->Attach(window);
  }
  if (!control) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    const LRESULT result = control->DefaultProc(message, wParam, lParam);
    control->Detach();
    return result;
  }
  return control->WindowProc(message, wParam, lParam);
}

LRESULT TDLXCustomControl::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (originalProc_) return CallWindowProcW(originalProc_, handle_, message, wParam, lParam);
  return DefWindowProcW(handle_, message, wParam, lParam);
}

bool TDLXCustomControl::RouteToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  HWND child = nullptr;
  switch (message) {
    case WM_COMMAND:
      child = reinterpret_cast<HWND>(lParam);
      break;
    case WM_NOTIFY:
      child = reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
      break;
    case WM_DRAWITEM:
      child = reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem;
      break;
    case WM_MEASUREITEM:
      child = GetDlgItem(handle_, static_cast<int>(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->CtlID));
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      child = reinterpret_cast<HWND>(lParam);
      break;
    default:
      return false;
  }
  TDLXCustomControl* control = FromHandle(child);
  if (control && control != this && control->HandleNotify(message, wParam, lParam, result)) return true;
  return HandleChildNotify(message, wParam, lParam, result);
}

LRESULT TDLXCustomControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (RouteToChild(message, wParam, lParam, result)) return result;
  switch (message) {
    case WM_ERASEBKGND:
      if (ownsPainting_) return 1;
      break;
    case WM_PAINT:
    case WM_PRINTCLIENT:
      if (ownsPainting_) {
        PaintBuffered(handle_, message, wParam, [this](HDC dc, const RECT& client) { Paint(dc, client); });
        return 0;
      }
      break;
    case WM_SIZE:
      result = DefaultProc(message, wParam, lParam);
      if (!children_.empty()) Realign();
      return result;
    default:
      break;
  }
  return DefaultProc(message, wParam, lParam);
}

String TDLXCustomControl::Caption() const {
  if (!handle_) return String();
  const int length = GetWindowTextLengthW(handle_);
  String text(static_cast<size_t>(length) + 1, u'\0');
  const int copied = GetWindowTextW(handle_, W(text), length + 1);
  text.resize(static_cast<size_t>(std::max(0, copied)));
  return text;
}

void TDLXCustomControl::SetCaption(const String& caption) {
  if (handle_) SetWindowTextW(handle_, W(caption));
}

void TDLXCustomControl::SetBounds(int left, int top, int width, int height) {
  bounds_ = RECT{left, top, left + width, top + height};
  if (!handle_) return;
  if (parent_ && align_ != TDLXAlign::alNone)
    parent_->Realign();
  else
    ApplyBounds(PixelBounds());
}

void TDLXCustomControl::SetAlign(TDLXAlign align) {
  align_ = align;
  if (parent_) parent_->Realign();
}

void TDLXCustomControl::SetMargins(const TDLXMargins& margins) {
  margins_ = margins;
  if (parent_ && align_ != TDLXAlign::alNone) parent_->Realign();
}

RECT TDLXCustomControl::PixelBounds() const {
  const int left = scale_.Apply(bounds_.left), top = scale_.Apply(bounds_.top);
  return RECT{left, top, left + scale_.Apply(Width()), top + scale_.Apply(Height())};
}

void TDLXCustomControl::ApplyBounds(const RECT& pixels) {
  if (handle_)
    SetWindowPos(handle_, nullptr, pixels.left, pixels.top, pixels.right - pixels.left,
                 pixels.bottom - pixels.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT TDLXCustomControl::AlignArea() {
  RECT client{};
  if (handle_) GetClientRect(handle_, &client);
  return client;
}

void TDLXCustomControl::Realign() {
  if (!handle_) return;
  RECT area = AlignArea();
  const auto place = [&](TDLXAlign align) {
    for (TDLXCustomControl* child : children_) {
      if (child->align_ != align || !child->handle_ || !child->Visible()) continue;
      const TDLXScaleFactor& s = child->scale_;
      const TDLXMargins& m = child->margins_;
      const int ml = s.Apply(m.Left), mt = s.Apply(m.Top), mr = s.Apply(m.Right), mb = s.Apply(m.Bottom);
      const int width = s.Apply(child->Width()), height = s.Apply(child->Height());
      RECT r{};
      switch (align) {
        case TDLXAlign::alTop:
          r = RECT{area.left + ml, area.top + mt, area.right - mr, area.top + mt + height};
          area.top = r.bottom + mb;
          break;
        case TDLXAlign::alBottom:
          r = RECT{area.left + ml, area.bottom - mb - height, area.right - mr, area.bottom - mb};
          area.bottom = r.top - mt;
          break;
        case TDLXAlign::alLeft:
          r = RECT{area.left + ml, area.top + mt, area.left + ml + width, area.bottom - mb};
          area.left = r.right + mr;
          break;
        case TDLXAlign::alRight:
          r = RECT{area.right - mr - width, area.top + mt, area.right - mr, area.bottom - mb};
          area.right = r.left - ml;
          break;
        case TDLXAlign::alClient:
          r = RECT{area.left + ml, area.top + mt, area.right - mr, area.bottom - mb};
          break;
        case TDLXAlign::alNone:
          r = child->PixelBounds();
          break;
      }
      if (r.right < r.left) r.right = r.left;
      if (r.bottom < r.top) r.bottom = r.top;
      child->ApplyBounds(r);
    }
  };
  for (TDLXAlign align : {TDLXAlign::alTop, TDLXAlign::alBottom, TDLXAlign::alLeft, TDLXAlign::alRight,
                          TDLXAlign::alClient, TDLXAlign::alNone})
    place(align);
}

bool TDLXCustomControl::Visible() const {
  return handle_ && (GetWindowLongW(handle_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void TDLXCustomControl::SetVisible(bool visible) {
  if (!handle_ || visible == Visible()) return;
  ShowWindow(handle_, visible ? SW_SHOWNA : SW_HIDE);
  if (parent_ && align_ != TDLXAlign::alNone) parent_->Realign();
}

bool TDLXCustomControl::Enabled() const {
  return handle_ && IsWindowEnabled(handle_);
}

void TDLXCustomControl::SetEnabled(bool enabled) {
  if (handle_) EnableWindow(handle_, enabled ? TRUE : FALSE);
  Invalidate();
}

bool TDLXCustomControl::CanFocus() const {
  if (!handle_ || !IsWindowVisible(handle_) || (GetWindowLongW(handle_, GWL_STYLE) & WS_TABSTOP) == 0)
    return false;
  for (const TDLXCustomControl* control = this; control; control = control->parent_)
    if (!control->handle_ || !IsWindowEnabled(control->handle_)) return false;
  return true;
}

void TDLXCustomControl::SetFocus() {
  if (handle_) ::SetFocus(handle_);
}

bool TDLXCustomControl::Focused() const {
  return handle_ && GetFocus() == handle_;
}

void TDLXCustomControl::SetScale(const TDLXScaleFactor& scale) {
  const bool changed = !(scale.Numerator == scale_.Numerator && scale.Denominator == scale_.Denominator);
  scale_ = scale;
  if (changed) {
    fontIsCurrent_ = false;
    if (handle_) SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
    ScaleChanged();
  }
  for (TDLXCustomControl* child : children_) child->SetScale(scale);
  if (changed) {
    Realign();
    Invalidate();
  }
}

void TDLXCustomControl::SetFont(const TDLXFont& font) {
  font_ = font;
  fontIsCurrent_ = false;
  if (handle_) SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
  FontChanged();
  Invalidate();
}

void TDLXCustomControl::RecreateFont() {
  TDLXSkinFont skinFont{u"Segoe UI", 9};
  TDLXTheme::Instance().Skin().FindFont(u"Common.Fonts.Default", skinFont);
  const String name = font_.Name.empty() ? skinFont.Name : font_.Name;
  const int size = font_.Size > 0 ? font_.Size : skinFont.Size;
  LOGFONTW logFont{};
  // The point size at 96 DPI, scaled with the control, so text grows with everything else.
  logFont.lfHeight = -MulDiv(size * scale_.Numerator, 96, scale_.Denominator * 72);
  logFont.lfWeight = font_.Bold ? FW_BOLD : FW_NORMAL;
  logFont.lfItalic = font_.Italic;
  logFont.lfUnderline = font_.Underline;
  logFont.lfStrikeOut = font_.StrikeOut;
  logFont.lfCharSet = DEFAULT_CHARSET;
  logFont.lfQuality = CLEARTYPE_QUALITY;
  const size_t length = std::min<size_t>(name.size(), LF_FACESIZE - 1);
  std::copy_n(W(name), length, logFont.lfFaceName);
  HFONT font = CreateFontIndirectW(&logFont);
  if (fontHandle_) DeleteObject(fontHandle_);
  fontHandle_ = font;
  fontIsCurrent_ = true;
}

HFONT TDLXCustomControl::FontHandle() {
  if (!fontIsCurrent_) RecreateFont();
  return fontHandle_;
}

void TDLXCustomControl::Invalidate() {
  if (handle_)
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}

COLORREF TDLXCustomControl::BackgroundColor() const {
  if (parent_) return parent_->BackgroundColor();
  return TDLXTheme::Instance().Color(u"Common.Colors.Background1", COLOR_WINDOW);
}

void TDLXCustomControl::PaintBackground(HDC dc, const RECT& rect) {
  FillSolidRect(dc, rect, BackgroundColor());
}

void TDLXCustomControl::PaintParentBackground(HDC dc, const RECT& client) {
  if (!parent_ || !handle_) {
    PaintBackground(dc, client);
    return;
  }
  POINT origin{0, 0};
  MapWindowPoints(handle_, parent_->handle_, &origin, 1);
  POINT old;
  OffsetWindowOrgEx(dc, origin.x, origin.y, &old);
  RECT inParent = client;
  OffsetRect(&inParent, origin.x, origin.y);
  parent_->PaintBackground(dc, inParent);
  SetWindowOrgEx(dc, old.x, old.y, nullptr);
}

void TDLXCustomControl::ColorSchemeChanged(unsigned flags) {
  Invalidate();
}

void TDLXCustomControl::NotifyColorSchemeChanged(unsigned flags) {
  fontIsCurrent_ = false;  // the skin may name another font
  if (handle_) SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(FontHandle()), FALSE);
  ColorSchemeChanged(flags);
  for (TDLXCustomControl* child : children_) child->NotifyColorSchemeChanged(flags);
}

void TDLXCustomControl::DrawCaption(HDC dc, RECT rect, COLORREF color, UINT flags) {
  const String text = Caption();
  HGDIOBJ old = SelectObject(dc, FontHandle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  DrawTextW(dc, W(text), static_cast<int>(text.size()), &rect, flags);
  SelectObject(dc, old);
}

void PaintBuffered(HWND window, UINT message, WPARAM wParam,
                   const std::function<void(HDC, const RECT&)>& paint) {
  RECT client;
  GetClientRect(window, &client);
  if (message == WM_PRINTCLIENT) {
    paint(reinterpret_cast<HDC>(wParam), client);
    return;
  }
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  if (dc) {
    TDLXBufferedPaint buffer(dc, client);
    paint(buffer.Dc(), client);
  }
  EndPaint(window, &ps);
}

void TDLXCustomControl::SendToBack() {
  if (handle_) SetWindowPos(handle_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace dlx
