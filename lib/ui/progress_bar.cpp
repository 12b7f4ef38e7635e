#include "lib/ui/progress_bar.h"

#include <oleacc.h>

#include <algorithm>
#include <cmath>

#include "lib/ui/graphics.h"

namespace dlx {
namespace {

constexpr UINT_PTR kAnimationTimer = 1;
constexpr UINT kAnimationInterval = 30;  // ms
constexpr int kAnimationSteps = 100;     // one sweep

}  // namespace

TDLXProgressBar::TDLXProgressBar(TDLXCustomControl& parent) : TDLXCustomControl(&parent) {
  SetBounds(0, 0, 200, 12);
  CreateHandle(RegisterControlClass(L"DLXProgressBar"), WS_VISIBLE, 0);
  UpdateAnimation();
}

TDLXProgressBar::~TDLXProgressBar() {
  if (handle_) KillTimer(handle_, kAnimationTimer);
}

void TDLXProgressBar::SetRange(double minimum, double maximum) {
  minimum_ = minimum;
  maximum_ = maximum;
  Invalidate();
}

double TDLXProgressBar::Fraction() const {
  double low = minimum_, high = maximum_;
  if (low == 0 && high == 0) high = 100;
  if (high <= low || !std::isfinite(progress_)) return 0;
  return std::clamp((progress_ - low) / (high - low), 0.0, 1.0);
}

void TDLXProgressBar::SetProgress(double progress) {
  progress_ = progress;
  UpdateAnimation();
  Invalidate();
  NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, handle_, OBJID_CLIENT, CHILDID_SELF);
}

void TDLXProgressBar::UpdateAnimation() {
  const bool waiting = !(progress_ > 0);
  if (waiting == waiting_) return;
  waiting_ = waiting;
  if (waiting_) {
    phase_ = 0;
    SetTimer(handle_, kAnimationTimer, kAnimationInterval, nullptr);
  } else {
    KillTimer(handle_, kAnimationTimer);
  }
}

LRESULT TDLXProgressBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == kAnimationTimer) {
        phase_ = (phase_ + 1) % kAnimationSteps;
        Invalidate();
        return 0;
      }
      break;
    case WM_GETOBJECT:
      if (const LRESULT answer = AnswerGetObject(handle_, wParam, lParam, *this)) return answer;
      break;
    default:
      break;
  }
  return TDLXCustomControl::WindowProc(message, wParam, lParam);
}

void TDLXProgressBar::Paint(HDC dc, const RECT& client) {
  PaintParentBackground(dc, client);
  const int width = client.right - client.left;
  RECT bar = client;
  if (waiting_) {
    // A quarter of the track sliding from the left edge out at the right.
    const int segment = std::max(1, width / 4);
    bar.left = client.left - segment + (width + segment) * phase_ / kAnimationSteps;
    bar.right = bar.left + segment;
  } else {
    bar.right = client.left + static_cast<int>(std::lround(width * Fraction()));
  }
  const TDLXSkinTexture* texture = TDLXTheme::Instance().Texture(u"ProgressBar.Texture");
  const int saved = SaveDC(dc);
  if (texture && texture->Frames >= 2) {
    DrawSkinTexture(dc, client, *texture, 0, Scale().Numerator, Scale().Denominator);
    // The bar keeps its rounded ends: drawn whole, then clipped to the track.
    IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
    if (bar.right > bar.left) {
      RECT drawn = bar;
      const int minimum = ScaleValue(texture->Margins.Left + texture->Margins.Right);
      if (drawn.right - drawn.left < minimum) drawn.right = drawn.left + minimum;
      IntersectClipRect(dc, bar.left, bar.top, bar.right, bar.bottom);
      DrawSkinTexture(dc, drawn, *texture, 1, Scale().Numerator, Scale().Denominator);
    }
  } else {
    FillSolidRect(dc, client, GetSysColor(COLOR_WINDOW));
    FrameSolidRect(dc, client, GetSysColor(COLOR_WINDOWTEXT));
    IntersectClipRect(dc, client.left, client.top, client.right, client.bottom);
    if (bar.right > bar.left) FillSolidRect(dc, bar, GetSysColor(COLOR_HIGHLIGHT));
  }
  RestoreDC(dc, saved);
}

String TDLXProgressBar::AccessibleName() {
  return Name().empty() ? String(u"Progress") : Name();
}

long TDLXProgressBar::AccessibleRole() {
  return ROLE_SYSTEM_PROGRESSBAR;
}

String TDLXProgressBar::AccessibleValue() {
  return IntToStr(std::lround(Fraction() * 100)) + u"%";
}

}  // namespace dlx
