#include "lib/ui/label.h"

#include <shellapi.h>

#include "lib/log.h"
#include "lib/ui/graphics.h"

namespace dlx {

void OpenLink(const String& target) {
  const auto result =
      reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", W(target), nullptr, nullptr, SW_SHOWNORMAL));
  if (result <= 32) Log(u"Cannot open " + target + u" (" + IntToStr(result) + u")");
}

TDLXLabel::TDLXLabel(TDLXCustomControl& parent, const String& caption) : TDLXCustomControl(&parent) {
  SetBounds(0, 0, 100, 17);
  CreateHandle(L"STATIC", WS_VISIBLE | SS_LEFT | SS_NOTIFY, 0, caption);
  SetOwnsPainting(true);
}

void TDLXLabel::SetTransparent(bool transparent) {
  transparent_ = transparent;
  Invalidate();
}

void TDLXLabel::SetWordWrap(bool wordWrap) {
  wordWrap_ = wordWrap;
  AdjustSize();
  Invalidate();
}

void TDLXLabel::SetAlignment(TDLXTextAlign alignment) {
  alignment_ = alignment;
  Invalidate();
}

void TDLXLabel::SetVerticalAlignment(TDLXVerticalAlign alignment) {
  verticalAlignment_ = alignment;
  Invalidate();
}

void TDLXLabel::SetUrl(const String& url) {
  url_ = url;
  TDLXFont font = Font();
  font.Underline = !url.empty();
  SetFont(font);
}

void TDLXLabel::SetAutoSize(bool autoSize) {
  autoSize_ = autoSize;
  AdjustSize();
}

UINT TDLXLabel::TextFlags() const {
  UINT flags = wordWrap_ ? DT_WORDBREAK : DT_SINGLELINE;
  if (alignment_ == TDLXTextAlign::taCenter) flags |= DT_CENTER;
  if (alignment_ == TDLXTextAlign::taRight) flags |= DT_RIGHT;
  if (verticalAlignment_ == TDLXVerticalAlign::vaCenter && !wordWrap_) flags |= DT_VCENTER;
  return flags;
}

COLORREF TDLXLabel::TextColor() const {
  const TDLXTheme& theme = TDLXTheme::Instance();
  if (!Enabled()) return theme.Color(u"Labels.Colors.TextDisabled", COLOR_GRAYTEXT);
  if (!url_.empty()) return theme.Color(u"Labels.Colors.TextHyperlink", COLOR_HOTLIGHT);
  if (Font().Color && !theme.HighContrast()) return *Font().Color;
  return theme.Color(u"Labels.Colors.Text", COLOR_WINDOWTEXT);
}

void TDLXLabel::AdjustSize() {
  if (!autoSize_ || !handle_ || adjusting_) return;
  adjusting_ = true;
  HDC dc = GetDC(handle_);
  HGDIOBJ old = SelectObject(dc, FontHandle());
  const String text = Caption();
  const int indent = TextIndent();
  RECT rect{0, 0, wordWrap_ ? std::max(1, ScaleValue(Width()) - indent) : 0, 0};
  DrawTextW(dc, W(text), static_cast<int>(text.size()), &rect, TextFlags() | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(handle_, dc);
  const int height = std::max<int>(rect.bottom - rect.top, indent ? ScaleValue(16) : 0);
  if (wordWrap_)
    SetHeight(Scale().Unapply(height) + 1);
  else
    SetBounds(Bounds().left, Bounds().top, Scale().Unapply(rect.right - rect.left + indent) + 1,
              Scale().Unapply(height) + 1);
  adjusting_ = false;
}

void TDLXLabel::Paint(HDC dc, const RECT& client) {
  if (transparent_)
    PaintParentBackground(dc, client);
  else
    FillSolidRect(dc, client, TDLXTheme::Instance().Color(u"Labels.Colors.Background", COLOR_WINDOW));
  PaintDecoration(dc, client);
  RECT text = client;
  text.left += TextIndent();
  UINT flags = TextFlags();
  if (TextIndent() && !wordWrap_) flags |= DT_VCENTER;
  DrawCaption(dc, text, TextColor(), flags);
}

LRESULT TDLXLabel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETTEXT: {
      const LRESULT result = DefaultProc(message, wParam, lParam);
      AdjustSize();
      Invalidate();
      return result;
    }
    case WM_ENABLE:
      Invalidate();
      break;
    case WM_SETCURSOR:
      if (!url_.empty()) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return TDLXCustomControl::WindowProc(message, wParam, lParam);
}

bool TDLXLabel::HandleNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_COMMAND && HIWORD(wParam) == STN_CLICKED) {
    if (OnClick) OnClick();
    if (!url_.empty()) OpenLink(url_);
    result = 0;
    return true;
  }
  return false;
}

TDLXValidationLabel::TDLXValidationLabel(TDLXCustomControl& parent, const String& caption,
                                         TDLXValidationKind kind)
    : TDLXLabel(parent, caption), kind_(kind) {
  SetAutoSize(true);
}

void TDLXValidationLabel::SetKind(TDLXValidationKind kind) {
  kind_ = kind;
  Invalidate();
}

int TDLXValidationLabel::TextIndent() const {
  return ScaleValue(16) + ScaleValue(5);
}

void TDLXValidationLabel::PaintDecoration(HDC dc, const RECT& client) {
  const int size = ScaleValue(16);
  const int top = client.top + (client.bottom - client.top - size) / 2;
  const RECT icon{client.left, top, client.left + size, top + size};
  const TDLXSkinTexture* texture = TDLXTheme::Instance().Texture(u"Labels.Textures.Icons");
  if (texture) {
    DrawSkinTexture(dc, icon, *texture, static_cast<int>(kind_), Scale().Numerator, Scale().Denominator);
    return;
  }
  // High contrast: the system's own icons.
  static const LPCWSTR kSystemIcons[] = {IDI_INFORMATION, IDI_WARNING, IDI_ERROR, IDI_ERROR, IDI_INFORMATION};
  HICON system = LoadIconW(nullptr, kSystemIcons[static_cast<int>(kind_)]);
  if (system) DrawIconEx(dc, icon.left, icon.top, system, size, size, 0, nullptr, DI_NORMAL);
}

}  // namespace dlx
