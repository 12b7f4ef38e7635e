#include "ui/form/view_info.h"

#include <algorithm>

namespace {

// A rectangle whose right and bottom never lie before its left and top.
RECT Normalized(RECT rect) {
  rect.right = std::max(rect.right, rect.left);
  rect.bottom = std::max(rect.bottom, rect.top);
  return rect;
}

// The part of the rectangle inside the box; an empty rectangle inside the box when none is.
RECT Clipped(const RECT& rect, const RECT& box) {
  RECT result;
  result.left = std::clamp(rect.left, box.left, std::max(box.left, box.right));
  result.top = std::clamp(rect.top, box.top, std::max(box.top, box.bottom));
  result.right = std::clamp(rect.right, result.left, std::max(result.left, box.right));
  result.bottom = std::clamp(rect.bottom, result.top, std::max(result.top, box.bottom));
  return result;
}

}  // namespace

TInstallerCustomViewInfo::TScale TInstallerCustomViewInfo::MulDivScale(int numerator, int denominator) {
  if (numerator == denominator || denominator == 0) return nullptr;
  return [numerator, denominator](int value) { return MulDiv(value, numerator, denominator); };
}

TInstallerFormLayout TInstallerFormViewInfo::Layout(const RECT& client) const {
  const RECT area = Normalized(client);
  TInstallerFormLayout layout;
  layout.Header = {area.left, area.top, area.right, std::min(area.top + Scale(53), area.bottom)};
  layout.HeaderText = Clipped({layout.Header.left + Scale(144), layout.Header.top + Scale(6),
                               layout.Header.right - Scale(16), layout.Header.bottom - Scale(12)},
                              layout.Header);
  layout.HeaderBottomLine = Normalized(
      {area.left, std::max(layout.Header.bottom - Scale(1), area.top), area.right, layout.Header.bottom});
  layout.Strip = {area.left, layout.Header.bottom, area.right,
                  std::min(layout.Header.bottom + Scale(10), area.bottom)};
  layout.Footer = {area.left, std::max(area.bottom - Scale(44), area.top), area.right, area.bottom};
  layout.Page = Clipped({area.left, layout.Strip.bottom + Scale(4), area.right, layout.Footer.top}, area);
  layout.FullScreenPage = {area.left, area.top, area.right, layout.Footer.top};
  for (int i = 0; i < 2; ++i) {
    const LONG top = std::min(layout.Footer.top + i, layout.Footer.bottom);
    layout.FooterLines[i] = {area.left, top, area.right, std::min(top + 1, layout.Footer.bottom)};
  }
  return layout;
}

RECT TInstallerFormViewInfo::GetPageBounds(const RECT& client, bool fullScreen) const {
  const TInstallerFormLayout layout = Layout(client);
  return fullScreen ? layout.FullScreenPage : layout.Page;
}

RECT TInstallerFormViewInfo::TitleBounds(const RECT& client, int titleHeight) const {
  const RECT box = Layout(client).HeaderText;
  return Clipped({box.left, box.top, box.right, box.top + std::max(titleHeight, 0)}, box);
}

RECT TInstallerFormViewInfo::DescriptionBounds(const RECT& client, int descriptionHeight) const {
  const RECT box = Layout(client).HeaderText;
  return Clipped({box.left, box.bottom - std::max(descriptionHeight, 0), box.right, box.bottom}, box);
}

const char16_t* TInstallerFormViewInfo::HeaderPictureName(bool darkMode) {
  return darkMode ? u"header_dark.png" : u"header.png";
}

void TInstallerProgressViewInfo::SetBounds(const RECT& strip, int pageCount) {
  strip_ = Normalized(strip);
  bar_ = Normalized({strip_.left, strip_.top + Scale(2), strip_.right, strip_.bottom - Scale(2)});
  // N pages share the bar in N - 1 segments: on the last page the whole bar is solid.
  if (pageCount > 2) segmentWidth_ = (bar_.right - bar_.left) / (pageCount - 1);
}

TInstallerStripShapes TInstallerProgressViewInfo::Shapes(int pageIndex, int progress) const {
  TInstallerStripShapes shapes;
  shapes.Background = strip_;
  shapes.Solid = {bar_.left, bar_.top, bar_.left, bar_.bottom};
  if (pageIndex < 0) return shapes;
  const LONG segmentLeft = bar_.left + pageIndex * segmentWidth_;
  // Nothing is drawn beyond the bar: the last page's segment starts at its end.
  for (int i = 0; i < segmentWidth_ / DashStep; ++i) {
    const LONG left = segmentLeft + i * DashStep;
    if (left >= bar_.right) break;
    shapes.Dashes.push_back({left, bar_.top, std::min<LONG>(left + DashWidth, bar_.right), bar_.bottom});
  }
  const int filled = MulDiv(segmentWidth_, std::clamp(progress, 0, 100), 100);
  shapes.Solid.right = std::clamp<LONG>(segmentLeft + filled, bar_.left, bar_.right);
  return shapes;
}
