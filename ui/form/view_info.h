// The geometry of the installer form, apart from any window: where the header, its texts, the
// progress strip, the page area and the footer lie in a client rectangle, and what the progress
// strip paints for the active page. Lengths are 96-DPI pixels scaled by the form's factor, the
// way the form paints them; results are device pixels.
//
// How the form uses it: it owns one view info of each kind, made with its own scale
// (ScaleValue), so a DPI change needs no notice here. Its Paint fills the rectangles of Layout in
// the palette's colours (palette.h), draws the header picture (HeaderPictureName) into Header and
// the active page's Title and Description into TitleBounds and DescriptionBounds after measuring
// them; then the strip: UpdateProgressBounds passes Layout().Strip and the page count to
// SetBounds, and Paint fills the Shapes of the active page's index and GetProgress. SetActivePage
// places pages at GetPageBounds. The form owns the two header pictures, so this stays free of
// windows.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "lib/dlx_string.h"

// Holds how the form scales a 96-DPI length; asked at every computation.
class TInstallerCustomViewInfo {
 public:
  using TScale = std::function<int(int)>;
  // A null scale leaves lengths unchanged (96 DPI).
  explicit TInstallerCustomViewInfo(TScale scale) : scale_(std::move(scale)) {}
  virtual ~TInstallerCustomViewInfo() = default;

  int Scale(int value) const { return scale_ ? scale_(value) : value; }
  // MulDiv(value, numerator, denominator), the rounding the form's scale factor uses.
  static TScale MulDivScale(int numerator, int denominator);

 private:
  TScale scale_;
};

// The areas of the form's client rectangle.
struct TInstallerFormLayout {
  RECT Header{};
  RECT HeaderText{};        // the header deflated by 144, 6, 16, 12
  RECT HeaderBottomLine{};  // the header's lowest line, 1 pixel scaled
  RECT Strip{};             // 10 high, below the header
  RECT Page{};              // from 4 below the strip to the footer
  RECT FullScreenPage{};    // from the top to the footer
  RECT Footer{};            // the lowest 44
  RECT FooterLines[2]{};    // two 1-pixel lines (never scaled) along the footer's top edge
};

class TInstallerFormViewInfo : public TInstallerCustomViewInfo {
 public:
  using TInstallerCustomViewInfo::TInstallerCustomViewInfo;

  // For a client rectangle in device pixels. A client too small for the layout gives areas that
  // are empty, never turned inside out.
  TInstallerFormLayout Layout(const RECT& client) const;
  RECT GetPageBounds(const RECT& client, bool fullScreen) const;
  // The title, measured as one line, at the top of the header text box; the description in a
  // box of its measured height whose bottom is the text box's bottom. Both clipped to the box.
  RECT TitleBounds(const RECT& client, int titleHeight) const;
  RECT DescriptionBounds(const RECT& client, int descriptionHeight) const;

  // The header picture of the mode, read at every paint.
  static const char16_t* HeaderPictureName(bool darkMode);
};

// What the progress strip paints, in this order: the background, the dashes of the active page's
// segment, then the solid part (the pages passed and the active page's progress), all in the
// accent colour except the background.
struct TInstallerStripShapes {
  RECT Background{};
  std::vector<RECT> Dashes;
  RECT Solid{};  // empty when nothing is filled
};

class TInstallerProgressViewInfo : public TInstallerCustomViewInfo {
 public:
  using TInstallerCustomViewInfo::TInstallerCustomViewInfo;

  // Takes the strip rectangle; the bar is the strip less 2 at top and bottom. With more than two
  // pages each page but the last has a segment of the bar; with two or fewer the segment width
  // stays what it was (0 at first), so only the background is painted.
  void SetBounds(const RECT& strip, int pageCount);
  const RECT& Strip() const { return strip_; }
  const RECT& Bar() const { return bar_; }
  int SegmentWidth() const { return segmentWidth_; }

  // For the active page's index in the page list (none: -1, only the background) and its
  // progress 0..100 (values outside are held to that range).
  TInstallerStripShapes Shapes(int pageIndex, int progress) const;

  // Not scaled: the dashes are 3 pixels wide and start every 6 pixels.
  static constexpr int DashWidth = 3;
  static constexpr int DashStep = 6;

 private:
  RECT strip_{};
  RECT bar_{};
  int segmentWidth_ = 0;
};
