// A plain container of the library's own class: pages of the wizard and groups of controls sit
// on it. Children take part in the form's tab order (WS_EX_CONTROLPARENT). OnPaint draws on top
// of the background, for pictures and other decoration.
#pragma once

#include "lib/ui/control.h"

namespace dlx {

class TDLXPanel : public TDLXCustomControl {
 public:
  explicit TDLXPanel(TDLXCustomControl& parent);
  // Paints on the panel after its background (device pixels of the client area).
  std::function<void(HDC dc, const RECT& client)> OnPaint;
  // Another background colour than the parent's (high contrast keeps the system's).
  void SetColor(std::optional<COLORREF> color);
  COLORREF BackgroundColor() const override;
  void PaintBackground(HDC dc, const RECT& rect) override;

 protected:
  void Paint(HDC dc, const RECT& client) override;

 private:
  std::optional<COLORREF> color_;
};

}  // namespace dlx
