#include "lib/ui/graphics.h"

#include <gtest/gtest.h>

#include "lib/ui/skin.h"

using namespace dlx;

namespace {

// A 32-bit memory picture filled with one colour, to draw on and read back.
class TCanvas {
 public:
  TCanvas(int width, int height, COLORREF fill) {
    screen_ = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen_);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    old_ = SelectObject(dc_, bitmap_);
    FillSolidRect(dc_, RECT{0, 0, width, height}, fill);
  }
  ~TCanvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
    ReleaseDC(nullptr, screen_);
  }
  HDC Dc() const { return dc_; }

 private:
  HDC screen_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ old_;
};

TEST(Image, DecodesPngAndDrawsWithOpacity) {
  ASSERT_TRUE(GdiPlusAvailable());
  TDLXImage image;
  // The light progress texture: 24 x 48 pixels, two frames; the bar frame is the accent colour.
  ASSERT_TRUE(image.LoadFromResource(GetModuleHandleW(nullptr), u"DLXSKIN_PROGRESS_LIGHT"));
  EXPECT_EQ(image.Width(), 24);
  EXPECT_EQ(image.Height(), 48);
  const RECT bar{2 * 3, 24 + 2 * 3, 24 - 2 * 3, 48 - 2 * 3};  // inside the second frame's border
  {
    TCanvas canvas(8, 8, RGB(255, 255, 255));
    image.DrawPart(canvas.Dc(), RECT{0, 0, 8, 8}, bar);
    EXPECT_EQ(GetPixel(canvas.Dc(), 4, 4), RGB(222, 140, 51));
  }
  {
    TCanvas canvas(8, 8, RGB(255, 255, 255));
    image.DrawPart(canvas.Dc(), RECT{0, 0, 8, 8}, bar, 128);
    const COLORREF half = GetPixel(canvas.Dc(), 4, 4);
    EXPECT_NEAR(GetRValue(half), (222 + 255) / 2, 3);
    EXPECT_NEAR(GetGValue(half), (140 + 255) / 2, 3);
    EXPECT_NEAR(GetBValue(half), (51 + 255) / 2, 3);
  }
  {
    TCanvas canvas(8, 8, RGB(10, 20, 30));
    image.DrawPart(canvas.Dc(), RECT{0, 0, 8, 8}, bar, 0);
    EXPECT_EQ(GetPixel(canvas.Dc(), 4, 4), RGB(10, 20, 30));
  }
  // What is no picture leaves the image empty, and drawing an empty image draws nothing.
  const char garbage[] = "not a picture at all";
  EXPECT_FALSE(image.LoadFromMemory(garbage, sizeof(garbage)));
  EXPECT_TRUE(image.Empty());
  EXPECT_FALSE(image.LoadFromResource(GetModuleHandleW(nullptr), u"NO_SUCH_RESOURCE"));
  TCanvas canvas(4, 4, RGB(1, 2, 3));
  image.Draw(canvas.Dc(), RECT{0, 0, 4, 4});
  EXPECT_EQ(GetPixel(canvas.Dc(), 1, 1), RGB(1, 2, 3));
}

TEST(Image, NineSliceKeepsTheCornersAndStretchesTheMiddle) {
  TDLXSkin skin;
  ASSERT_TRUE(skin.LoadFromResource(GetModuleHandleW(nullptr), u"DLXDEFAULTSKIN"));
  const TDLXSkinTexture* texture = skin.FindTexture(u"ProgressBar.Texture");
  ASSERT_NE(texture, nullptr);
  TCanvas canvas(200, 12, RGB(0, 0, 0));
  DrawSkinTexture(canvas.Dc(), RECT{0, 0, 200, 12}, *texture, 1, 96, 96);
  // The middle of a long bar is the fill colour, its outer corner stays transparent-ish (rounded).
  EXPECT_EQ(GetPixel(canvas.Dc(), 100, 6), RGB(222, 140, 51));
  EXPECT_NE(GetPixel(canvas.Dc(), 0, 0), RGB(222, 140, 51));
}

// The slices of a stretched texture meet without a gap that shows the background and without the
// colours of the neighbouring frame in the strip (frame 1 of the button strip has an accent border).
TEST(Image, NineSliceLeavesNoSeamsAtAnyScale) {
  TDLXSkin skin;
  ASSERT_TRUE(skin.LoadFromResource(GetModuleHandleW(nullptr), u"DLXDEFAULTSKIN_DARK"));
  const TDLXSkinTexture* texture = skin.FindTexture(u"Buttons.Textures.Button.W11");
  ASSERT_NE(texture, nullptr);
  const COLORREF background = RGB(255, 0, 255);
  for (const int dpi : {96, 120, 144, 192}) {
    const int width = MulDiv(120, dpi, 96), height = MulDiv(26, dpi, 96);
    TCanvas canvas(width, height, background);
    DrawSkinTexture(canvas.Dc(), RECT{0, 0, width, height}, *texture, 0, dpi, 96);
    const auto probe = [&](int x, int y) {
      const COLORREF color = GetPixel(canvas.Dc(), x, y);
      EXPECT_NE(color, background) << dpi << " DPI at " << x << "," << y;
      EXPECT_LT(GetRValue(color) - GetBValue(color), 40) << dpi << " DPI at " << x << "," << y;
    };
    // Across the middle, from just inside the rounded corners to the opposite side.
    for (int x = 0; x < width; ++x) probe(x, height / 2);
    for (int y = 0; y < height; ++y) probe(width / 2, y);
  }
}

}  // namespace
