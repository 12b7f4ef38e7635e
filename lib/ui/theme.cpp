#include "lib/ui/theme.h"

#include <algorithm>

#include "lib/log.h"
#include "lib/ui/graphics.h"
#include "lib/win/handles.h"
#include "lib/win/system.h"
#include "lib/win/system_library.h"

namespace dlx {
namespace {

const String kPersonalizeKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// Loaded once on first use from the system folder and kept for the life of the process.
HMODULE Library(const char16_t* name, HMODULE& slot, bool& tried) {
  if (!tried) {
    tried = true;
    slot = LoadSystemLibrary(name);
  }
  return slot;
}

template <typename F>
F Proc(HMODULE module, const char* name) {
  return module ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

HMODULE DwmApi() {
  static HMODULE module = nullptr;
  static bool tried = false;
  return Library(u"dwmapi.dll", module, tried);
}

HMODULE UxTheme() {
  static HMODULE module = nullptr;
  static bool tried = false;
  return Library(u"uxtheme.dll", module, tried);
}

}  // namespace

TDLXTheme& TDLXTheme::Instance() {
  // Never destroyed: its skin holds GDI+ pictures, which must not outlive GDI+ (see graphics.cpp).
  static TDLXTheme* theme = new TDLXTheme();
  return *theme;
}

TDLXTheme::TDLXTheme() : module_(GetModuleHandleW(nullptr)) {
  darkMode_ = ReadDarkModeSetting();
  highContrast_ = ReadHighContrastSetting();
  LoadSkin();
}

bool TDLXTheme::ReadDarkModeSetting() {
  TRegistryKey key;
  if (!key.Open(HKEY_CURRENT_USER, kPersonalizeKey)) return false;
  uint32_t value = 1;
  if (!key.ReadDword(u"AppsUseLightTheme", value)) return false;
  return value == 0;
}

std::function<bool()>& HighContrastQuery() {
  static std::function<bool()> query;
  return query;
}

void TDLXTheme::SetHighContrastQuery(std::function<bool()> query) {
  HighContrastQuery() = std::move(query);
}

bool TDLXTheme::ReadHighContrastSetting() {
  if (HighContrastQuery()) return HighContrastQuery()();
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  if (!SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0)) return false;
  return (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void TDLXTheme::SetSkinModule(HMODULE module) {
  module_ = module;
  LoadSkin();
}

void TDLXTheme::LoadSkin() {
  // Dark mode is not applied while high contrast is on; the light skin then only supplies
  // lengths and fonts, colours come from the system.
  const bool dark = darkMode_ && !highContrast_;
  skin_.SetWindows11(SystemVersion().Major >= 10 && SystemVersion().Build >= 22000);
  try {
    if (!skin_.LoadFromResource(module_, dark ? u"DLXDEFAULTSKIN_DARK" : u"DLXDEFAULTSKIN")) {
      Log(u"The control library's skin resource is missing: controls draw with system colours");
      skin_.Clear();
    }
  } catch (const EDLXException& error) {
    Log(error.Message());
    skin_.Clear();
  }
}

COLORREF TDLXTheme::Color(StringView id, int systemColor) const {
  if (highContrast_) return GetSysColor(systemColor);
  uint32_t argb;
  if (skin_.FindColor(id, argb) && !ArgbIsNull(argb)) return ArgbToColorRef(argb);
  return GetSysColor(systemColor);
}

const TDLXSkinTexture* TDLXTheme::Texture(StringView id) const {
  return highContrast_ ? nullptr : skin_.FindTexture(id);
}

unsigned TDLXTheme::Reevaluate() {
  const bool dark = ReadDarkModeSetting();
  const bool contrast = ReadHighContrastSetting();
  unsigned flags = 0;
  if (dark != darkMode_) flags |= ccDarkMode;
  if (contrast != highContrast_) flags |= ccHighContrast;
  if (!flags) return 0;
  darkMode_ = dark;
  highContrast_ = contrast;
  Log(String(u"Colour scheme: ") + (dark ? u"dark" : u"light") + (contrast ? u", high contrast" : u""));
  LoadSkin();
  // A copy: a listener may close its form while being told.
  const std::vector<IDLXThemeListener*> listeners = listeners_;
  for (IDLXThemeListener* listener : listeners)
    if (std::find(listeners_.begin(), listeners_.end(), listener) != listeners_.end())
      listener->ThemeChanged(flags);
  return flags;
}

void TDLXTheme::AddListener(IDLXThemeListener* listener) {
  listeners_.push_back(listener);
}

void TDLXTheme::RemoveListener(IDLXThemeListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void TDLXTheme::ApplyTitleBar(HWND window, bool dark) {
  const TDLXSystemVersion& version = SystemVersion();
  if (version.Major < 10 || version.Build < 17763) return;
  using SetAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
  const auto set = Proc<SetAttribute>(DwmApi(), "DwmSetWindowAttribute");
  if (!set) return;
  const BOOL value = dark ? TRUE : FALSE;
  // The immersive dark-mode attribute is 20 since Windows 10 20H1 and was 19 before.
  if (FAILED(set(window, 20, &value, sizeof(value)))) set(window, 19, &value, sizeof(value));
}

void TDLXTheme::ApplyControlTheme(HWND window, bool dark) {
  using SetTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  const auto set = Proc<SetTheme>(UxTheme(), "SetWindowTheme");
  if (set) set(window, dark ? L"DarkMode_Explorer" : nullptr, nullptr);
}

int TDLXTheme::SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

int TDLXTheme::WindowDpi(HWND window) {
  using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
  static const auto getDpi = Proc<GetDpiForWindowProc>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
  if (getDpi && window) {
    const UINT dpi = getDpi(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

}  // namespace dlx
