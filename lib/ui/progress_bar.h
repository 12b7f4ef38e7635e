// The progress bar: a control of the library's own class, drawn from the skin's
// "ProgressBar.Texture" (track and bar frames). While the progress is 0 it shows the waiting
// animation, a segment sliding along the track; any progress above 0 ends it. Screen readers
// read it as a progress bar whose value is the percentage.
#pragma once

#include "lib/ui/accessible.h"
#include "lib/ui/control.h"

namespace dlx {

class TDLXProgressBar : public TDLXCustomControl, private IDLXAccessibleSource {
 public:
  explicit TDLXProgressBar(TDLXCustomControl& parent);
  ~TDLXProgressBar() override;

  // The range; with minimum and maximum both 0 it is 0..100.
  void SetRange(double minimum, double maximum);
  void SetProgress(double progress);
  double Progress() const { return progress_; }
  // The filled fraction 0..1.
  double Fraction() const;
  bool Waiting() const { return waiting_; }

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Paint(HDC dc, const RECT& client) override;

 private:
  String AccessibleName() override;
  long AccessibleRole() override;
  String AccessibleValue() override;
  void UpdateAnimation();

  double minimum_ = 0;
  double maximum_ = 0;
  double progress_ = 0;
  bool waiting_ = false;
  int phase_ = 0;  // animation step
};

}  // namespace dlx
