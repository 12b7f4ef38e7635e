// The installer's own colours, one table for light and one for dark mode. The form takes the
// table of the mode at start-up and again whenever the control library reports that dark mode
// switched; it paints the footer, the header's bottom line and the progress strip in the accent
// colour, the client area and the pages in the background colour, the header texts in the header
// text colour, and gives lbVerInfo the version text colour.
#pragma once

#include <windows.h>

struct TInstallerPalette {
  COLORREF Accent;
  COLORREF Background;
  COLORREF StripBackground;
  COLORREF HeaderText;
  COLORREF VersionText;
};

inline constexpr TInstallerPalette InstallerLightPalette{
    RGB(222, 140, 51), RGB(255, 255, 255), RGB(255, 255, 255), RGB(0, 0, 0), RGB(240, 240, 240)};
inline constexpr TInstallerPalette InstallerDarkPalette{RGB(172, 103, 28), RGB(38, 38, 38), RGB(42, 42, 42),
                                                        RGB(255, 255, 255), RGB(240, 240, 240)};

constexpr const TInstallerPalette& InstallerPalette(bool darkMode) {
  return darkMode ? InstallerDarkPalette : InstallerLightPalette;
}
