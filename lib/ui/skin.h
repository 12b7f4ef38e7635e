// Skins of the control library: named colours, textures, fonts, margins and integers, looked up
// by dotted IDs such as "Common.Colors.Text". Two skins travel as resources of the program,
// "DLXDEFAULTSKIN" (light) and "DLXDEFAULTSKIN_DARK"; TDLXTheme (theme.h) picks one.
//
// A skin is a text of one item per line, "ID = kind value":
//   Common.Colors.Text = color claBlack            colour by name, or xAARRGGBB
//   Labels.Colors.Text = ref Common.Colors.Text    the value of another item
//   Buttons.Textures.Button = texture DLXSKIN_BUTTON_LIGHT frames=5 margins=4,4,4,4 scale=2
//   Common.Fonts.Default = font Segoe UI, 9        face name and size in points
//   Popup.Margins.Borders = margins 1, 1, 1, 1     left, top, right, bottom
//   Popup.Margins.CornerRadius = integer 0
// Lines starting with ";" and blank lines are ignored.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>

#include "lib/dlx_string.h"
#include "lib/exceptions.h"

namespace dlx {

class TDLXImage;

// A skin text that cannot be read; the message names the line.
class EDLXSkinError : public EDLXException {
 public:
  using EDLXException::EDLXException;
};

enum class TDLXSkinItemKind { Color, Texture, Font, Margins, Integer, Reference };

struct TDLXSkinMargins {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};

struct TDLXSkinFont {
  String Name;
  int Size = 9;  // points
};

// A picture of frames stacked from top to bottom; Margins (in 96-DPI pixels) mark the parts that
// keep their size when the frame is stretched; Scale says how many picture pixels make one 96-DPI
// pixel.
struct TDLXSkinTexture {
  String Resource;
  int Frames = 1;
  TDLXSkinMargins Margins;
  int Scale = 1;
  // Loaded on first use from the resource of the skin's module; null when it cannot be.
  std::shared_ptr<TDLXImage> Image;
};

struct TDLXSkinItem {
  TDLXSkinItemKind Kind = TDLXSkinItemKind::Integer;
  uint32_t Color = 0;  // ARGB
  int Integer = 0;
  TDLXSkinMargins Margins;
  TDLXSkinFont Font;
  String Reference;
  std::shared_ptr<TDLXSkinTexture> Texture;
};

// Colour helpers: ARGB as the skins write it, COLORREF as GDI wants it.
constexpr uint32_t kSkinColorNull = 0;  // claNull: no colour
inline COLORREF ArgbToColorRef(uint32_t argb) {
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}
inline bool ArgbIsNull(uint32_t argb) {
  return (argb >> 24) == 0;
}

class TDLXSkin {
 public:
  TDLXSkin() = default;
  TDLXSkin(const TDLXSkin&) = delete;
  TDLXSkin& operator=(const TDLXSkin&) = delete;

  // Replaces the items with those of the text; EDLXSkinError on a malformed line.
  void LoadFromText(StringView text);
  // The skin text stored as an RT_RCDATA resource (UTF-8); textures come from the same module.
  // False when the resource is missing; EDLXSkinError when it is malformed.
  bool LoadFromResource(HMODULE module, const String& name);
  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }

  // On Windows 11 the skin answers a few IDs with their ".W11" variants (the button texture, the
  // popup's borders and corner radius, the slider thumb). Set by the theme; off by default.
  void SetWindows11(bool on) { windows11_ = on; }
  bool Windows11() const { return windows11_; }

  // Lookups follow references; each answers false when the ID is missing, is of another kind, or
  // its chain of references is broken or circular.
  bool FindItem(StringView id, const TDLXSkinItem*& item) const;
  bool FindColor(StringView id, uint32_t& argb) const;
  bool FindInteger(StringView id, int& value) const;
  bool FindMargins(StringView id, TDLXSkinMargins& value) const;
  bool FindFont(StringView id, TDLXSkinFont& value) const;
  // The texture with its picture loaded; null when missing or its picture cannot be loaded.
  const TDLXSkinTexture* FindTexture(StringView id) const;

  // Shorthands with a fallback.
  uint32_t Color(StringView id, uint32_t fallback = 0xFF000000) const;
  int Integer(StringView id, int fallback = 0) const;

  // Parses a colour value: "x" and eight hexadecimal digits (ARGB), or a name ("claBlack").
  static bool ParseColor(StringView text, uint32_t& argb);

 private:
  const TDLXSkinItem* Resolve(StringView id) const;

  std::map<String, TDLXSkinItem, std::less<>> items_;
  HMODULE module_ = nullptr;
  bool windows11_ = false;
};

}  // namespace dlx
