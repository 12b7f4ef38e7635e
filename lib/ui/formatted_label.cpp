#include "lib/ui/formatted_label.h"

#include <oleacc.h>

#include <algorithm>

#include "lib/file_system.h"
#include "lib/ui/graphics.h"
#include "lib/ui/label.h"

namespace dlx {
namespace {

int FontIndex(const TDLXMarkupStyle& style) {
  return (style.Bold ? 1 : 0) | (style.Italic ? 2 : 0) | (style.Underline || !style.Link.empty() ? 4 : 0) |
         (style.StrikeOut ? 8 : 0);
}

bool HasScheme(const String& target) {
  // "mailto:", "https:"...; a drive letter ("C:") is not a scheme.
  const size_t colon = target.find(u':');
  if (colon == String::npos || colon < 2) return false;
  for (size_t i = 0; i < colon; ++i) {
    const Char c = target[i];
    const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    if (!letter && !(i > 0 && ((c >= u'0' && c <= u'9') || c == u'+' || c == u'.' || c == u'-')))
      return false;
  }
  return true;
}

// Black or white, whichever reads better on a background the caption chose (a light marker stays
// readable in dark mode).
COLORREF ReadableOn(uint32_t argb) {
  const int r = (argb >> 16) & 0xFF, g = (argb >> 8) & 0xFF, b = argb & 0xFF;
  return (r * 299 + g * 587 + b * 114) / 1000 >= 140 ? RGB(0, 0, 0) : RGB(255, 255, 255);
}

}  // namespace

TDLXFormattedLabel::TDLXFormattedLabel(TDLXCustomControl& parent, const String& caption)
    : TDLXCustomControl(&parent) {
  SetBounds(0, 0, 200, 34);
  CreateHandle(RegisterControlClass(L"DLXFormattedLabel"), WS_VISIBLE, 0);
  SetCaption(caption);
}

TDLXFormattedLabel::~TDLXFormattedLabel() {
  ClearFonts();
}

void TDLXFormattedLabel::SetCaption(const String& caption) {
  caption_ = caption;
  runs_ = ParseMarkup(caption);
  // The window text is the plain text: what a screen reader or a test reads.
  TDLXCustomControl::SetCaption(MarkupPlainText(runs_));
  // Only a label with a link takes the focus.
  LONG style = GetWindowLongW(handle_, GWL_STYLE);
  style = FirstLink().empty() ? (style & ~WS_TABSTOP) : (style | WS_TABSTOP);
  SetWindowLongW(handle_, GWL_STYLE, style);
  Relayout();
}

void TDLXFormattedLabel::SetAutoHeight(bool autoHeight) {
  autoHeight_ = autoHeight;
  Relayout();
}

void TDLXFormattedLabel::ClearFonts() {
  for (HFONT& font : fonts_) {
    if (font) DeleteObject(font);
    font = nullptr;
  }
}

HFONT TDLXFormattedLabel::StyleFont(const TDLXMarkupStyle& style) {
  HFONT& font = fonts_[static_cast<size_t>(FontIndex(style))];
  if (!font) {
    LOGFONTW logFont{};
    GetObjectW(FontHandle(), sizeof(logFont), &logFont);
    if (style.Bold) logFont.lfWeight = FW_BOLD;
    if (style.Italic) logFont.lfItalic = TRUE;
    if (style.Underline || !style.Link.empty()) logFont.lfUnderline = TRUE;
    if (style.StrikeOut) logFont.lfStrikeOut = TRUE;
    font = CreateFontIndirectW(&logFont);
  }
  return font;
}

void TDLXFormattedLabel::Relayout() {
  if (!handle_ || relayouting_) return;
  relayouting_ = true;
  ClearFonts();
  pieces_.clear();
  RECT client;
  GetClientRect(handle_, &client);
  const int width = std::max<int>(1, client.right - client.left);
  HDC dc = GetDC(handle_);
  int x = 0, y = 0, lineHeight = 0;
  size_t lineStart = 0;  // first piece of the current line
  const auto newLine = [&] {
    // Pieces of a line share its baseline height.
    for (size_t i = lineStart; i < pieces_.size(); ++i)
      pieces_[i].Rect.bottom = pieces_[i].Rect.top + lineHeight;
    y += lineHeight;
    x = 0;
    lineStart = pieces_.size();
  };
  TEXTMETRICW metrics{};
  SelectObject(dc, FontHandle());
  GetTextMetricsW(dc, &metrics);
  const int baseHeight = metrics.tmHeight;
  for (size_t r = 0; r < runs_.size(); ++r) {
    const String& text = runs_[r].Text;
    SelectObject(dc, StyleFont(runs_[r].Style));
    size_t i = 0;
    while (i < text.size()) {
      if (text[i] == u'\r') {
        ++i;
        continue;
      }
      if (text[i] == u'\n') {
        if (lineHeight == 0) lineHeight = baseHeight;
        newLine();
        lineHeight = 0;
        ++i;
        continue;
      }
      // A word with the blanks that follow it.
      size_t end = i;
      while (end < text.size() && text[end] != u' ' && text[end] != u'\n' && text[end] != u'\r') ++end;
      while (end < text.size() && text[end] == u' ') ++end;
      const String piece = text.substr(i, end - i);
      SIZE size{};
      GetTextExtentPoint32W(dc, W(piece), static_cast<int>(piece.size()), &size);
      // Trailing blanks may hang over the edge.
      String visible = piece;
      while (!visible.empty() && visible.back() == u' ') visible.pop_back();
      SIZE visibleSize{};
      GetTextExtentPoint32W(dc, W(visible), static_cast<int>(visible.size()), &visibleSize);
      if (x > 0 && x + visibleSize.cx > width) {
        newLine();
        lineHeight = 0;
      }
      pieces_.push_back(TPiece{RECT{x, y, x + size.cx, y + size.cy}, piece, r});
      x += size.cx;
      lineHeight = std::max<int>(lineHeight, size.cy);
      i = end;
    }
  }
  if (lineHeight > 0 || !pieces_.empty()) newLine();
  ReleaseDC(handle_, dc);
  contentHeight_ = y;
  relayouting_ = false;
  if (autoHeight_ && contentHeight_ > 0 && Scale().Apply(Height()) != contentHeight_)
    SetHeight(Scale().Unapply(contentHeight_) + 1);
  Invalidate();
}

void TDLXFormattedLabel::Paint(HDC dc, const RECT& client) {
  PaintParentBackground(dc, client);
  const TDLXTheme& theme = TDLXTheme::Instance();
  const COLORREF text = Enabled() ? theme.Color(u"Labels.Colors.Text", COLOR_WINDOWTEXT)
                                  : theme.Color(u"Labels.Colors.TextDisabled", COLOR_GRAYTEXT);
  const COLORREF link = theme.Color(u"Labels.Colors.TextHyperlink", COLOR_HOTLIGHT);
  SetBkMode(dc, TRANSPARENT);
  for (const TPiece& piece : pieces_) {
    const TDLXMarkupStyle& style = runs_[piece.Run].Style;
    if (style.BackColor && !ArgbIsNull(*style.BackColor) && !theme.HighContrast())
      FillSolidRect(dc, piece.Rect, ArgbToColorRef(*style.BackColor));
    COLORREF color = text;
    if (!style.Link.empty())
      color = link;
    else if (style.Color && !theme.HighContrast())
      color = ArgbToColorRef(*style.Color);
    else if (style.BackColor && !ArgbIsNull(*style.BackColor) && !theme.HighContrast())
      color = ReadableOn(*style.BackColor);
    SetTextColor(dc, color);
    HGDIOBJ old = SelectObject(dc, StyleFont(style));
    TextOutW(dc, piece.Rect.left, piece.Rect.top, W(piece.Text), static_cast<int>(piece.Text.size()));
    SelectObject(dc, old);
  }
  if (Focused()) {
    // The focus frame around the first link, which Enter follows.
    for (const TPiece& piece : pieces_) {
      if (runs_[piece.Run].Style.Link.empty()) continue;
      RECT focus = piece.Rect;
      SetTextColor(dc, text);
      DrawFocusRect(dc, &focus);
      break;
    }
  }
}

String TDLXFormattedLabel::LinkAt(POINT point) const {
  for (const TPiece& piece : pieces_)
    if (PtInRect(&piece.Rect, point)) return runs_[piece.Run].Style.Link;
  return String();
}

String TDLXFormattedLabel::FirstLink() const {
  for (const TDLXMarkupRun& run : runs_)
    if (!run.Style.Link.empty()) return run.Style.Link;
  return String();
}

void TDLXFormattedLabel::FollowLink(const String& target) {
  if (target.empty()) return;
  if (OnLinkClick)
    OnLinkClick(target);
  else
    OpenLink(LinkTargetForShell(target));
}

String TDLXFormattedLabel::LinkTargetForShell(const String& target) {
  if (target.find(u"//") != String::npos || HasScheme(target) || DirectoryExists(target)) return target;
  return u"http://" + target;
}

LRESULT TDLXFormattedLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE: {
      const LRESULT result = TDLXCustomControl::WindowProc(message, wParam, lParam);
      Relayout();
      return result;
    }
    case WM_SETCURSOR: {
      POINT point;
      GetCursorPos(&point);
      ScreenToClient(handle_, &point);
      if (!LinkAt(point).empty()) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    }
    case WM_LBUTTONUP: {
      const String target =
          LinkAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
      if (!target.empty()) {
        FollowLink(target);
        return 0;
      }
      break;
    }
    case WM_GETDLGCODE:
      // Enter follows the link instead of pressing the default button.
      if (lParam && reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
          reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN)
        return DLGC_WANTMESSAGE;
      break;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_SPACE) {
        FollowLink(FirstLink());
        return 0;
      }
      break;
    case WM_LBUTTONDOWN:
      if (!FirstLink().empty()) ::SetFocus(handle_);
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Invalidate();
      break;
    case WM_GETOBJECT:
      if (const LRESULT answer = AnswerGetObject(handle_, wParam, lParam, *this)) return answer;
      break;
    default:
      break;
  }
  return TDLXCustomControl::WindowProc(message, wParam, lParam);
}

String TDLXFormattedLabel::AccessibleName() {
  return MarkupPlainText(runs_);
}

long TDLXFormattedLabel::AccessibleRole() {
  return ROLE_SYSTEM_STATICTEXT;
}

long TDLXFormattedLabel::AccessibleState() {
  for (const TDLXMarkupRun& run : runs_)
    if (!run.Style.Link.empty()) return STATE_SYSTEM_LINKED;
  return 0;
}

}  // namespace dlx
