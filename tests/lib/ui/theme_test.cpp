// Dark mode, high contrast and DPI scaling, switched the way Windows switches them: the registry
// value and the setting-change broadcast, the high-contrast system parameter, WM_DPICHANGED.
#include "lib/ui/theme.h"

#include <gtest/gtest.h>

#include <array>

#include "lib/ui/button.h"
#include "lib/ui/form.h"
#include "lib/ui/label.h"
#include "lib/win/handles.h"
#include "tests/lib/ui/ui_test_support.h"

using namespace dlx;

namespace {

const wchar_t kPersonalize[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// Sets "AppsUseLightTheme" for the test and puts back what was there.
class TLightThemeValue {
 public:
  TLightThemeValue() {
    key_.Create(HKEY_CURRENT_USER, FromW(kPersonalize));
    had_ = key_.ReadDword(u"AppsUseLightTheme", old_);
  }
  ~TLightThemeValue() {
    if (had_)
      key_.WriteDword(u"AppsUseLightTheme", old_);
    else
      key_.DeleteValue(u"AppsUseLightTheme");
    Broadcast();
  }
  void Set(uint32_t value) { key_.WriteDword(u"AppsUseLightTheme", value); }
  void Delete() { key_.DeleteValue(u"AppsUseLightTheme"); }
  static void Broadcast() {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"),
                        SMTO_ABORTIFHUNG, 2000, &result);
    uitest::PumpFor(100);
  }

 private:
  TRegistryKey key_;
  uint32_t old_ = 1;
  bool had_ = false;
};

// The colour the window paints at a point of its client area.
COLORREF PaintedPixel(HWND window, int x, int y) {
  RECT client;
  GetClientRect(window, &client);
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
  const COLORREF pixel = GetPixel(memory, x, y);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, screen);
  return pixel;
}

TEST(DarkMode, TheRegistryRule) {
  TLightThemeValue value;
  for (uint32_t light : {0, 1, 2}) {
    value.Set(light);
    EXPECT_EQ(TDLXTheme::ReadDarkModeSetting(), light == 0) << light;
  }
  value.Delete();
  EXPECT_FALSE(TDLXTheme::ReadDarkModeSetting());
}

TEST(DarkMode, SwitchedByTheRegistryAndTheBroadcast) {
  TLightThemeValue value;
  value.Set(1);
  TLightThemeValue::Broadcast();
  TDLXTheme& theme = TDLXTheme::Instance();
  ASSERT_FALSE(theme.DarkMode());

  TDLXForm form;
  TDLXForm second;
  auto& label = form.Add<TDLXLabel>(u"Text");
  label.SetBounds(10, 10, 100, 20);
  int calls = 0, secondCalls = 0;
  unsigned flags = 0;
  form.OnColorSchemeChanged = [&](unsigned f) {
    ++calls;
    flags = f;
  };
  second.OnColorSchemeChanged = [&](unsigned) { ++secondCalls; };
  form.Show();
  second.Show();
  uitest::PumpFor(100);
  EXPECT_EQ(PaintedPixel(form.Handle(), 200, 150), RGB(255, 255, 255));

  // Both forms hear the broadcast; each hook runs once, with the dark-mode bit.
  value.Set(0);
  TLightThemeValue::Broadcast();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(secondCalls, 1);
  EXPECT_EQ(flags & ccDarkMode, ccDarkMode);
  EXPECT_TRUE(theme.DarkMode());
  EXPECT_EQ(PaintedPixel(form.Handle(), 200, 150), RGB(42, 42, 42));
  EXPECT_EQ(theme.Color(u"Labels.Colors.Text", COLOR_WINDOWTEXT), RGB(255, 255, 255));
  EXPECT_EQ(PaintedPixel(label.Handle(), 80, 15), RGB(42, 42, 42));

  // A second broadcast without a change calls nobody.
  TLightThemeValue::Broadcast();
  EXPECT_EQ(calls, 1);

  value.Set(1);
  TLightThemeValue::Broadcast();
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(theme.DarkMode());
  EXPECT_EQ(PaintedPixel(form.Handle(), 200, 150), RGB(255, 255, 255));
}

// Switches high contrast on for the test through the system parameter, as the control panel does.
// Wine has no high-contrast mode and refuses the parameter: there the system's answer is replaced
// and the setting change is broadcast as Windows broadcasts it.
class THighContrast {
 public:
  THighContrast() {
    HIGHCONTRASTW contrast{sizeof(contrast), HCF_HIGHCONTRASTON, nullptr};
    system_ =
        SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof(contrast), &contrast, SPIF_SENDCHANGE) != FALSE;
    if (!system_) {
      TDLXTheme::SetHighContrastQuery([] { return true; });
      Broadcast();
    }
    uitest::PumpFor(100);
  }
  ~THighContrast() {
    if (system_) {
      HIGHCONTRASTW contrast{sizeof(contrast), 0, nullptr};
      SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof(contrast), &contrast, SPIF_SENDCHANGE);
    } else {
      TDLXTheme::SetHighContrastQuery(nullptr);
      Broadcast();
    }
    uitest::PumpFor(100);
  }

 private:
  static void Broadcast() {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0, SMTO_ABORTIFHUNG, 2000,
                        &result);
  }
  bool system_ = false;
};

TEST(HighContrast, SystemColoursReplaceTheSkinInBothModes) {
  TLightThemeValue value;
  value.Set(0);  // dark mode asked for: high contrast wins
  TLightThemeValue::Broadcast();
  TDLXForm form;
  auto& button = form.Add<TDLXButton>(u"OK");
  button.SetBounds(10, 10, 80, 26);
  unsigned flags = 0;
  form.OnColorSchemeChanged = [&](unsigned f) { flags |= f; };
  form.Show();
  {
    THighContrast contrast;
    ASSERT_TRUE(TDLXTheme::ReadHighContrastSetting());
    TDLXTheme& theme = TDLXTheme::Instance();
    EXPECT_TRUE(theme.HighContrast());
    EXPECT_EQ(flags & ccHighContrast, ccHighContrast);
    EXPECT_EQ(theme.Color(u"Common.Colors.Background1", COLOR_WINDOW), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(theme.Color(u"Labels.Colors.TextHyperlink", COLOR_HOTLIGHT), GetSysColor(COLOR_HOTLIGHT));
    EXPECT_EQ(theme.Texture(u"Buttons.Textures.Button"), nullptr);
    EXPECT_EQ(PaintedPixel(form.Handle(), 200, 150), GetSysColor(COLOR_WINDOW));
    // The button: the system's face colour inside a frame.
    EXPECT_EQ(PaintedPixel(button.Handle(), 5, 13), GetSysColor(COLOR_BTNFACE));
  }
  EXPECT_FALSE(TDLXTheme::Instance().HighContrast());
  EXPECT_EQ(PaintedPixel(form.Handle(), 200, 150), RGB(42, 42, 42));
}

TEST(Dpi, ScaleFollowsTheSystemAndWmDpiChanged) {
  TDLXForm form;
  const int dpi = TDLXTheme::SystemDpi();
  EXPECT_EQ(form.Scale().Numerator * 96 / form.Scale().Denominator, dpi);
  form.SetClientSize(300, 200);
  auto& button = form.Add<TDLXButton>(u"Scaled");
  button.SetBounds(10, 20, 100, 30);
  int scaleCalls = 0;
  form.OnScaleChanged = [&] { ++scaleCalls; };
  form.Show();

  RECT suggested{50, 60, 50 + 700, 60 + 500};
  SendMessageW(form.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192),
               reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(scaleCalls, 1);
  EXPECT_EQ(form.Scale().Numerator, 192);
  EXPECT_EQ(form.Scale().Denominator, 96);
  RECT window;
  GetWindowRect(form.Handle(), &window);
  EXPECT_EQ((std::array{window.left, window.right - window.left, window.bottom - window.top}),
            (std::array<LONG, 3>{50, 700, 500}));
  RECT bounds;
  GetWindowRect(button.Handle(), &bounds);
  MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&bounds), 2);
  EXPECT_EQ((std::array{bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top}),
            (std::array<LONG, 4>{20, 40, 200, 60}));
  EXPECT_EQ(button.Scale().Numerator, 192);
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(button.Handle(), WM_GETFONT, 0, 0)), sizeof(font), &font);
  EXPECT_EQ(font.lfHeight, -24);  // 9 points at twice 96 DPI

  SendMessageW(form.Handle(), 0x02E0, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
  GetWindowRect(button.Handle(), &bounds);
  EXPECT_EQ(bounds.right - bounds.left, 100);
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(button.Handle(), WM_GETFONT, 0, 0)), sizeof(font), &font);
  EXPECT_EQ(font.lfHeight, -12);
}

}  // namespace
