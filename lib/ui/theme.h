// The look the control library follows: light or dark skin, high contrast, and the scale of
// lengths and fonts for a monitor's DPI. One theme per process; forms register with it and hear
// of every change.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/ui/skin.h"

namespace dlx {

// Change flags passed to a form's colour-scheme hook.
enum : unsigned {
  ccDarkMode = 1,      // dark mode was switched on or off
  ccHighContrast = 2,  // high contrast was switched on or off
};

// A length scale: lengths are written in 96-DPI pixels and shown as MulDiv(v, Numerator,
// Denominator).
struct TDLXScaleFactor {
  int Numerator = 96;
  int Denominator = 96;
  int Apply(int value) const { return MulDiv(value, Numerator, Denominator); }
  int Unapply(int value) const { return MulDiv(value, Denominator, Numerator); }
  bool operator==(const TDLXScaleFactor& other) const {
    return Numerator * other.Denominator == other.Numerator * Denominator;
  }
};

class IDLXThemeListener {
 public:
  virtual void ThemeChanged(unsigned flags) = 0;

 protected:
  ~IDLXThemeListener() = default;
};

class TDLXTheme {
 public:
  static TDLXTheme& Instance();

  // The rule of the dark-mode flag, whose preference this program leaves automatic: dark exactly
  // when "AppsUseLightTheme" under HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize
  // reads 0; a missing value or key counts as light.
  static bool ReadDarkModeSetting();
  // Whether Windows runs a high-contrast theme now (SPI_GETHIGHCONTRAST).
  static bool ReadHighContrastSetting();
  // Replaces the system's answer about high contrast, for systems where a test cannot switch it
  // (Wine has no high-contrast mode); null restores the system's answer.
  static void SetHighContrastQuery(std::function<bool()> query);

  bool DarkMode() const { return darkMode_; }
  bool HighContrast() const { return highContrast_; }
  // The skin of the current mode (light while high contrast is on).
  const TDLXSkin& Skin() const { return skin_; }

  // A colour of the skin, or, in high contrast, the system colour (GetSysColor index) given.
  COLORREF Color(StringView id, int systemColor) const;
  // A skin texture; null in high contrast, where controls draw with system colours instead.
  const TDLXSkinTexture* Texture(StringView id) const;

  // Reads both settings again; when one changed, reloads the skin and tells every listener.
  // Answers the change flags (0 when nothing changed). Forms call it on WM_SETTINGCHANGE.
  unsigned Reevaluate();

  // The module whose resources hold the skins; the program's own module by default.
  void SetSkinModule(HMODULE module);

  void AddListener(IDLXThemeListener* listener);
  void RemoveListener(IDLXThemeListener* listener);

  // Asks DWM to draw the title bar of a top-level window dark or light (Windows 10 1809 and
  // later; ignored elsewhere).
  static void ApplyTitleBar(HWND window, bool dark);
  // Gives scroll bars and other themed parts of a system control the dark or light look.
  static void ApplyControlTheme(HWND window, bool dark);

  // The DPI of a window's monitor (per-monitor aware processes), else the system's.
  static int WindowDpi(HWND window);
  static int SystemDpi();

 private:
  TDLXTheme();
  void LoadSkin();

  TDLXSkin skin_;
  HMODULE module_ = nullptr;
  bool darkMode_ = false;
  bool highContrast_ = false;
  std::vector<IDLXThemeListener*> listeners_;
};

}  // namespace dlx
