#include "lib/ui/edit.h"

#include <algorithm>

#include "lib/log.h"
#include "lib/ui/form.h"
#include "lib/ui/graphics.h"

namespace dlx {

TDLXCustomEdit::TDLXCustomEdit(TDLXCustomControl& parent, const wchar_t* className, DWORD style)
    : TDLXCustomControl(&parent) {
  SetBounds(0, 0, 150, 23);
  CreateHandle(className, WS_VISIBLE | WS_TABSTOP | style, 0);
  UpdateFrame();
}

TDLXCustomEdit::~TDLXCustomEdit() {
  if (brush_) DeleteObject(brush_);
}

void TDLXCustomEdit::SetReadOnly(bool readOnly) {
  SendMessageW(handle_, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
  Invalidate();
}

bool TDLXCustomEdit::ReadOnly() const {
  return (GetWindowLongW(handle_, GWL_STYLE) & ES_READONLY) != 0;
}

COLORREF TDLXCustomEdit::ContentColor() const {
  return TDLXTheme::Instance().Color(u"EditBox.Colors.Content", COLOR_WINDOW);
}

COLORREF TDLXCustomEdit::TextColor() const {
  const TDLXTheme& theme = TDLXTheme::Instance();
  if (!Enabled()) return theme.Color(u"Common.Colors.TextDisabled", COLOR_GRAYTEXT);
  return theme.Color(u"EditBox.Colors.Text", COLOR_WINDOWTEXT);
}

HBRUSH TDLXCustomEdit::ContentBrush() {
  const COLORREF color = ContentColor();
  if (!brush_ || brushColor_ != color) {
    if (brush_) DeleteObject(brush_);
    brush_ = CreateSolidBrush(color);
    brushColor_ = color;
  }
  return brush_;
}

SIZE TDLXCustomEdit::Padding() {
  return SIZE{ScaleValue(3), ScaleValue(3)};
}

void TDLXCustomEdit::UpdateFrame() {
  if (handle_)
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TDLXCustomEdit::PaintFrame() {
  RECT window, client;
  GetWindowRect(handle_, &window);
  const LONG windowLeft = window.left, windowTop = window.top;
  GetClientRect(handle_, &client);
  MapWindowPoints(handle_, nullptr, reinterpret_cast<POINT*>(&client), 2);
  OffsetRect(&client, -window.left, -window.top);
  OffsetRect(&window, -window.left, -window.top);
  HDC dc = GetWindowDC(handle_);
  if (!dc) return;
  ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
  // The system has drawn the vertical scroll bar beside the text.
  if (GetWindowLongW(handle_, GWL_STYLE) & WS_VSCROLL) {
    SCROLLBARINFO bar{};
    bar.cbSize = sizeof bar;
    if (GetScrollBarInfo(handle_, OBJID_VSCROLL, &bar) && !(bar.rgstate[0] & STATE_SYSTEM_INVISIBLE)) {
      RECT area = bar.rcScrollBar;
      OffsetRect(&area, -windowLeft, -windowTop);
      ExcludeClipRect(dc, area.left, area.top, area.right, area.bottom);
    }
  }
  const TDLXTheme& theme = TDLXTheme::Instance();
  FillSolidRect(dc, window, ContentColor());
  const bool focused = Focused();
  const COLORREF border = focused ? theme.Color(u"EditBox.Colors.BorderFocused", COLOR_HIGHLIGHT)
                                  : theme.Color(u"EditBox.Colors.Border", COLOR_WINDOWTEXT);
  FrameSolidRect(dc, window, border, std::max(1, ScaleValue(1)));
  ReleaseDC(handle_, dc);
}

LRESULT TDLXCustomEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCALCSIZE: {
      // The frame and the padding first, then the system's part (the scroll bar), so the scroll
      // bar lies inside the frame, beside the text.
      RECT* rect = reinterpret_cast<RECT*>(lParam);  // the first of NCCALCSIZE_PARAMS too
      const int border = std::max(1, ScaleValue(1));
      SIZE padding = Padding();
      InflateRect(rect, -(border + padding.cx), -(border + padding.cy));
      if (rect->bottom < rect->top) rect->bottom = rect->top;
      if (rect->right < rect->left) rect->right = rect->left;
      const LRESULT result = DefaultProc(message, wParam, lParam);
      if (rect->bottom < rect->top) rect->bottom = rect->top;
      if (rect->right < rect->left) rect->right = rect->left;
      return result;
    }
    case WM_NCPAINT: {
      // The scroll bars of a memo are non-client too: let the system draw them first.
      const LRESULT result = DefaultProc(message, wParam, lParam);
      PaintFrame();
      return result;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE: {
      const LRESULT result = DefaultProc(message, wParam, lParam);
      RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
      return result;
    }
    case WM_SIZE:
      UpdateFrame();
      break;
    case WM_GETDLGCODE:
      // A multi-line edit asks for every key, Tab and Enter included. A read-only one has no use
      // for them: Tab moves on and Enter presses the default button, as a keyboard user expects
      // on a license page. The arrows still scroll it.
      if (ReadOnly() && (GetWindowLongW(handle_, GWL_STYLE) & ES_MULTILINE))
        return DefaultProc(message, wParam, lParam) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
      break;
    default:
      break;
  }
  return TDLXCustomControl::WindowProc(message, wParam, lParam);
}

bool TDLXCustomEdit::HandleNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, TextColor());
      SetBkColor(dc, ContentColor());
      result = reinterpret_cast<LRESULT>(ContentBrush());
      return true;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == EN_CHANGE) {
        if (OnChange) OnChange();
        result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

void TDLXCustomEdit::ColorSchemeChanged(unsigned flags) {
  const TDLXTheme& theme = TDLXTheme::Instance();
  TDLXTheme::ApplyControlTheme(handle_, theme.DarkMode() && !theme.HighContrast());
  Invalidate();
}

TDLXEditButton::TDLXEditButton(TDLXCustomControl& parent, TDLXEdit& edit) : TDLXButton(parent), edit_(edit) {}

void TDLXEditButton::SetButtonWidth(int width) {
  width_ = width;
  edit_.ApplyBounds(edit_.area_);
}

void TDLXEditButton::Paint(HDC dc, const RECT& client) {
  TDLXButton::Paint(dc, client);
}

TDLXEdit::TDLXEdit(TDLXCustomControl& parent, const String& text)
    : TDLXCustomEdit(parent, L"EDIT", ES_AUTOHSCROLL | ES_LEFT) {
  SetText(text);
  area_ = PixelBounds();
}

TDLXEditButton& TDLXEdit::AddButton(const String& caption, int width) {
  TDLXEditButton& button = Parent()->Add<TDLXEditButton>(*this);
  button.SetCaption(caption);
  button.width_ = width;
  // In the tab order right after the edit and its earlier buttons.
  HWND after = buttons_.empty() ? handle_ : buttons_.back()->Handle();
  SetWindowPos(button.Handle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // The button belongs to the edit's dialog group: arrows do not lead out of it.
  buttons_.push_back(&button);
  ApplyBounds(area_);
  return button;
}

void TDLXEdit::SetVisible(bool visible) {
  TDLXCustomEdit::SetVisible(visible);
  for (TDLXEditButton* button : buttons_) button->SetVisible(visible);
}

void TDLXEdit::SetEnabled(bool enabled) {
  TDLXCustomEdit::SetEnabled(enabled);
  for (TDLXEditButton* button : buttons_) button->SetEnabled(enabled);
}

SIZE TDLXEdit::Padding() {
  // The text is centred vertically in the box.
  SIZE padding{ScaleValue(3), 0};
  HDC dc = GetDC(handle_);
  if (dc) {
    HGDIOBJ old = SelectObject(dc, FontHandle());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(handle_, dc);
    RECT window;
    GetWindowRect(handle_, &window);
    const int inner = (window.bottom - window.top) - 2 * std::max(1, ScaleValue(1));
    padding.cy = std::max<int>(0, (inner - metrics.tmHeight) / 2);
  }
  return padding;
}

void TDLXEdit::ApplyBounds(const RECT& pixels) {
  area_ = pixels;
  RECT edit = pixels;
  const int gap = ScaleValue(2);
  for (auto it = buttons_.rbegin(); it != buttons_.rend(); ++it) {
    TDLXEditButton* button = *it;
    if (!button->Handle()) continue;
    const int width = ScaleValue(button->width_);
    const RECT place{edit.right - width, edit.top, edit.right, edit.bottom};
    SetWindowPos(button->Handle(), nullptr, place.left, place.top, width, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    edit.right = place.left - gap;
  }
  TDLXCustomEdit::ApplyBounds(edit);
  UpdateFrame();
}

TDLXMemo::TDLXMemo(TDLXCustomControl& parent, const String& text)
    : TDLXMemo(parent, L"EDIT", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL) {
  SetText(text);
}

TDLXMemo::TDLXMemo(TDLXCustomControl& parent, const wchar_t* className, DWORD style)
    : TDLXCustomEdit(parent, className, style) {
  SetBounds(0, 0, 200, 100);
  const TDLXTheme& theme = TDLXTheme::Instance();
  TDLXTheme::ApplyControlTheme(handle_, theme.DarkMode() && !theme.HighContrast());
}

}  // namespace dlx
