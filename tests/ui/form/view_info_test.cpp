// The form's geometry and the progress strip at 96, 120 and 144 DPI, computed without a window.
#include "ui/form/view_info.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Text(const RECT& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
         std::to_string(r.bottom);
}

TEST(FormViewInfoTest, AreasOfTheClientAtEachScale) {
  struct Case {
    int dpi, width, height;
    const char *header, *text, *line, *strip, *page, *fullScreen, *footer, *footerLine2;
  };
  // 144 DPI rounds as MulDiv does: 53 -> 80 (79.5), 1 -> 2 (1.5).
  const Case cases[] = {
      {96, 640, 480, "0,0,640,53", "144,6,624,41", "0,52,640,53", "0,53,640,63", "0,67,640,436",
       "0,0,640,436", "0,436,640,480", "0,437,640,438"},
      {120, 800, 600, "0,0,800,66", "180,8,780,51", "0,65,800,66", "0,66,800,79", "0,84,800,545",
       "0,0,800,545", "0,545,800,600", "0,546,800,547"},
      {144, 960, 720, "0,0,960,80", "216,9,936,62", "0,78,960,80", "0,80,960,95", "0,101,960,654",
       "0,0,960,654", "0,654,960,720", "0,655,960,656"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dpi);
    TInstallerFormViewInfo info(TInstallerCustomViewInfo::MulDivScale(c.dpi, 96));
    const RECT client{0, 0, c.width, c.height};
    const TInstallerFormLayout layout = info.Layout(client);
    EXPECT_EQ(Text(layout.Header), c.header);
    EXPECT_EQ(Text(layout.HeaderText), c.text);
    EXPECT_EQ(Text(layout.HeaderBottomLine), c.line);
    EXPECT_EQ(Text(layout.Strip), c.strip);
    EXPECT_EQ(Text(layout.Page), c.page);
    EXPECT_EQ(Text(info.GetPageBounds(client, false)), c.page);
    EXPECT_EQ(Text(info.GetPageBounds(client, true)), c.fullScreen);
    EXPECT_EQ(Text(layout.Footer), c.footer);
    EXPECT_EQ(layout.FooterLines[0].bottom - layout.FooterLines[0].top, 1);  // never scaled
    EXPECT_EQ(Text(layout.FooterLines[1]), c.footerLine2);
  }
}

TEST(FormViewInfoTest, HeaderTextsStayInTheirBoxAndTinyClientsGiveNoInvertedAreas) {
  TInstallerFormViewInfo info(nullptr);
  const RECT client{0, 0, 640, 480};
  EXPECT_EQ(Text(info.TitleBounds(client, 20)), "144,6,624,26");
  EXPECT_EQ(Text(info.DescriptionBounds(client, 15)), "144,26,624,41");
  EXPECT_EQ(Text(info.TitleBounds(client, 100)), "144,6,624,41");  // several lines, clipped
  EXPECT_EQ(Text(info.DescriptionBounds(client, 100)), "144,6,624,41");

  for (const RECT& tiny :
       {RECT{0, 0, 0, 0}, RECT{0, 0, 100, 50}, RECT{0, 0, 150, 90}, RECT{0, 0, 640, 100}}) {
    SCOPED_TRACE(Text(tiny));
    const TInstallerFormLayout l = info.Layout(tiny);
    for (const RECT& r : {l.Header, l.HeaderText, l.HeaderBottomLine, l.Strip, l.Page, l.FullScreenPage,
                          l.Footer, l.FooterLines[0], l.FooterLines[1]}) {
      EXPECT_LE(r.left, r.right) << Text(r);
      EXPECT_LE(r.top, r.bottom) << Text(r);
      EXPECT_TRUE(r.left >= tiny.left && r.right <= tiny.right && r.top >= tiny.top &&
                  r.bottom <= tiny.bottom)
          << Text(r);
    }
  }
}

TEST(ProgressViewInfoTest, SegmentsDashesAndTheSolidPart) {
  struct Case {
    const char* name;
    int dpi, width, pages, index, progress;
    int segmentWidth;
    const char *bar, *solid;
    int dashes;
    const char *firstDash, *lastDash;
  };
  const Case cases[] = {
      // Two pages (an unattended run): only the background.
      {"two pages", 96, 640, 2, 0, 50, 0, "0,55,640,61", "0,55,0,61", 0, "", ""},
      {"eight, setup page", 96, 640, 8, 2, 0, 91, "0,55,640,61", "0,55,182,61", 15, "182,55,185,61",
       "266,55,269,61"},
      {"eight, installing", 96, 640, 8, 6, 50, 91, "0,55,640,61", "0,55,592,61", 15, "546,55,549,61",
       "630,55,633,61"},
      {"eight, installed", 96, 640, 8, 6, 100, 91, "0,55,640,61", "0,55,637,61", 15, "546,55,549,61",
       "630,55,633,61"},
      {"progress past 100", 96, 640, 8, 6, 170, 91, "0,55,640,61", "0,55,637,61", 15, "546,55,549,61",
       "630,55,633,61"},
      // The finish page's segment starts at the bar's end: one dash clipped to it, the rest solid.
      {"eight, finish", 96, 640, 8, 7, 0, 91, "0,55,640,61", "0,55,637,61", 1, "637,55,640,61",
       "637,55,640,61"},
      // No add-ons page: one segment fewer, so wider.
      {"seven pages", 96, 640, 7, 1, 0, 106, "0,55,640,61", "0,55,106,61", 17, "106,55,109,61",
       "202,55,205,61"},
      // Scaled bar, unscaled dashes.
      {"144 DPI", 144, 960, 8, 1, 0, 137, "0,83,960,92", "0,83,137,92", 22, "137,83,140,92", "263,83,266,92"},
      {"not in the list", 96, 640, 8, -1, 0, 91, "0,55,640,61", "0,55,0,61", 0, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TInstallerFormViewInfo form(TInstallerCustomViewInfo::MulDivScale(c.dpi, 96));
    TInstallerProgressViewInfo strip(TInstallerCustomViewInfo::MulDivScale(c.dpi, 96));
    const RECT client{0, 0, c.width, c.width * 3 / 4};
    strip.SetBounds(form.Layout(client).Strip, c.pages);
    EXPECT_EQ(strip.SegmentWidth(), c.segmentWidth);
    EXPECT_EQ(Text(strip.Bar()), c.bar);
    const TInstallerStripShapes shapes = strip.Shapes(c.index, c.progress);
    EXPECT_EQ(Text(shapes.Background), Text(form.Layout(client).Strip));
    EXPECT_EQ(Text(shapes.Solid), c.solid);
    ASSERT_EQ(static_cast<int>(shapes.Dashes.size()), c.dashes);
    if (c.dashes) {
      EXPECT_EQ(Text(shapes.Dashes.front()), c.firstDash);
      EXPECT_EQ(Text(shapes.Dashes.back()), c.lastDash);
    }
  }
}

}  // namespace
