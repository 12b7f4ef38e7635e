#include "lib/ui/skin.h"

#include <gtest/gtest.h>

#include "lib/ui/graphics.h"
#include "lib/ui/theme.h"

using dlx::String;
using dlx::TDLXSkin;

namespace {

uint32_t Rgb(int r, int g, int b) {
  return 0xFF000000u | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 |
         static_cast<uint32_t>(b);
}

TEST(Skin, ResourceSkinsCarryTheListedColours) {
  const struct {
    const char16_t* id;
    uint32_t light;
    uint32_t dark;
  } colours[] = {
      {u"Common.Colors.Background1", Rgb(255, 255, 255), Rgb(42, 42, 42)},
      {u"Labels.Colors.Background", Rgb(255, 255, 255), Rgb(42, 42, 42)},
      {u"Common.Colors.Text", Rgb(0, 0, 0), Rgb(255, 255, 255)},
      {u"Labels.Colors.Text", Rgb(0, 0, 0), Rgb(255, 255, 255)},
      {u"Buttons.Colors.Text", Rgb(0, 0, 0), Rgb(255, 255, 255)},
      {u"EditBox.Colors.Text", Rgb(0, 0, 0), Rgb(255, 255, 255)},
      {u"Common.Colors.TextDisabled", Rgb(128, 128, 128), Rgb(128, 128, 128)},
      {u"Common.Colors.Border1", Rgb(188, 188, 188), Rgb(104, 104, 104)},
      {u"EditBox.Colors.Border", Rgb(188, 188, 188), Rgb(104, 104, 104)},
      {u"Common.Colors.Border2", Rgb(255, 255, 255), Rgb(54, 54, 54)},
      {u"Common.Colors.Hyperlink", Rgb(217, 99, 0), Rgb(222, 140, 51)},
      {u"Labels.Colors.TextHyperlink", Rgb(217, 99, 0), Rgb(222, 140, 51)},
      {u"EditBox.Colors.Content", Rgb(250, 250, 250), Rgb(47, 47, 47)},
      {u"EditBox.Colors.BorderFocused", Rgb(154, 99, 44), Rgb(154, 99, 44)},
  };
  const char16_t* textures[] = {
      u"Buttons.Textures.Button",  u"Buttons.Textures.CheckBox", u"Buttons.Textures.RadioBox",
      u"EditBox.Textures.Button",  u"Labels.Textures.Icons",     u"ProgressBar.Texture",
      u"ScrollBox.Textures.Track", u"ScrollBox.Textures.Thumb",  u"Slider.Textures.Thumb"};
  for (const char16_t* name : {u"DLXDEFAULTSKIN", u"DLXDEFAULTSKIN_DARK"}) {
    const bool dark = String(name).ends_with(u"DARK");
    TDLXSkin skin;
    ASSERT_TRUE(skin.LoadFromResource(GetModuleHandleW(nullptr), name));
    for (bool windows11 : {false, true}) {
      skin.SetWindows11(windows11);
      for (const auto& c : colours) {
        uint32_t argb = 0;
        EXPECT_TRUE(skin.FindColor(c.id, argb)) << dlx::ToUtf8(c.id);
        EXPECT_EQ(argb, dark ? c.dark : c.light) << dlx::ToUtf8(name) << " " << dlx::ToUtf8(c.id);
      }
      for (const char16_t* id : textures) {
        const dlx::TDLXSkinTexture* texture = skin.FindTexture(id);
        ASSERT_NE(texture, nullptr) << dlx::ToUtf8(id);
        // The picture holds whole frames.
        EXPECT_FALSE(texture->Image->Empty()) << dlx::ToUtf8(id);
        EXPECT_EQ(texture->Image->Height() % texture->Frames, 0) << dlx::ToUtf8(id);
      }
      int radius = -1;
      EXPECT_TRUE(skin.FindInteger(u"Popup.Margins.CornerRadius", radius));
      EXPECT_EQ(radius, windows11 ? 8 : 0);
      dlx::TDLXSkinMargins borders;
      EXPECT_TRUE(skin.FindMargins(u"Popup.Margins.Borders", borders));
      EXPECT_EQ(borders.Top, windows11 ? 4 : 1);
    }
    // Windows 11 swaps in the rounder button.
    for (const char16_t* id : {u"Buttons.Textures.Button", u"Slider.Textures.Thumb"}) {
      skin.SetWindows11(false);
      const String plain = skin.FindTexture(id)->Resource;
      skin.SetWindows11(true);
      EXPECT_EQ(skin.FindTexture(id)->Resource,
                plain.substr(0, plain.rfind(u'_')) + u"_W11" + plain.substr(plain.rfind(u'_')))
          << dlx::ToUtf8(id);
    }
  }
}

TEST(Skin, ReferencesResolveAndBrokenOnesFail) {
  TDLXSkin skin;
  skin.LoadFromText(
      u"; comment\r\n"
      u"A = color xFF102030\r\n"
      u"B = ref A\n"
      u"C = ref B\n"
      u"Loop1 = ref Loop2\n"
      u"Loop2 = ref Loop1\n"
      u"Dangling = ref Nowhere\n"
      u"Size = integer 7\n"
      u"NotColour = ref Size\n"
      u"Named = color claNull\n"
      u"Font = font Segoe UI, 10\n"
      u"Thing = texture RES frames=3 margins=1,2,3,4 scale=2\n"
      u"Only = integer 1\n"
      u"Only.W11 = integer 2\n");
  uint32_t argb = 0;
  EXPECT_TRUE(skin.FindColor(u"C", argb));
  EXPECT_EQ(argb, 0xFF102030u);
  for (const char16_t* broken : {u"Loop1", u"Dangling", u"NotColour", u"Missing"})
    EXPECT_FALSE(skin.FindColor(broken, argb)) << dlx::ToUtf8(broken);
  EXPECT_TRUE(skin.FindColor(u"Named", argb));
  EXPECT_TRUE(dlx::ArgbIsNull(argb));
  dlx::TDLXSkinFont font;
  EXPECT_TRUE(skin.FindFont(u"Font", font));
  EXPECT_EQ(font.Name, u"Segoe UI");
  EXPECT_EQ(font.Size, 10);
  const dlx::TDLXSkinItem* item = nullptr;
  ASSERT_TRUE(skin.FindItem(u"Thing", item));
  EXPECT_EQ(item->Texture->Frames, 3);
  EXPECT_EQ(item->Texture->Margins.Right, 3);
  EXPECT_EQ(item->Texture->Scale, 2);
  // A texture whose resource is not in the module is no texture.
  EXPECT_EQ(skin.FindTexture(u"Thing"), nullptr);
  // ".W11" variants apply only to the IDs Windows 11 changes.
  skin.SetWindows11(true);
  EXPECT_EQ(skin.Integer(u"Only"), 1);
}

TEST(Skin, MalformedLinesNameTheirLine) {
  const struct {
    const char16_t* text;
    const char16_t* expected;
  } cases[] = {
      {u"A = color x123", u"Skin line 1"},
      {u"\nB color xFF000000", u"Skin line 2"},
      {u"A = color xFF000000\n\nC = paint 3", u"Skin line 3"},
      {u"T = texture R frames=0", u"Skin line 1"},
      {u"T = texture R size=3", u"Skin line 1"},
      {u"M = margins 1,2,3", u"Skin line 1"},
      {u"F = font 10", u"Skin line 1"},
      {u" = integer 3", u"Skin line 1"},
  };
  for (const auto& c : cases) {
    TDLXSkin skin;
    skin.LoadFromText(u"Kept = integer 1");
    try {
      skin.LoadFromText(c.text);
      ADD_FAILURE() << "accepted: " << dlx::ToUtf8(c.text);
    } catch (const dlx::EDLXSkinError& error) {
      EXPECT_TRUE(error.Message().starts_with(c.expected)) << dlx::ToUtf8(error.Message());
    }
    // A failed load keeps the skin as it was.
    EXPECT_EQ(skin.Integer(u"Kept"), 1);
  }
}

}  // namespace
