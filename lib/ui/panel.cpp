#include "lib/ui/panel.h"

#include "lib/ui/graphics.h"

namespace dlx {

TDLXPanel::TDLXPanel(TDLXCustomControl& parent) : TDLXCustomControl(&parent) {
  SetBounds(0, 0, 200, 100);
  CreateHandle(RegisterControlClass(L"DLXPanel"), WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT);
}

void TDLXPanel::SetColor(std::optional<COLORREF> color) {
  color_ = color;
  Invalidate();
}

COLORREF TDLXPanel::BackgroundColor() const {
  if (color_ && !TDLXTheme::Instance().HighContrast()) return *color_;
  return TDLXCustomControl::BackgroundColor();
}

void TDLXPanel::PaintBackground(HDC dc, const RECT& rect) {
  FillSolidRect(dc, rect, BackgroundColor());
  if (OnPaint) {
    RECT client;
    GetClientRect(handle_, &client);
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
    OnPaint(dc, client);
    RestoreDC(dc, saved);
  }
}

void TDLXPanel::Paint(HDC dc, const RECT& client) {
  PaintBackground(dc, client);
}

}  // namespace dlx
