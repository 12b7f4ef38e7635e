// The wizard form with its welcome, license and ready pages over the setup's own material, without
// installing: saves a picture of each page and checks, pixel by pixel, that the painted header
// line, progress strip, page background and footer carry the palette of the mode, and that the
// license page holds Next back until the terms are accepted and the
// ready page shows the actions' summary. Run by tests/lib/ui/screenshots.sh in light and
// dark mode at 96 and 144 DPI.
//
//   ui_wizard_shots.exe <output folder> <name> <setup material folder> <expected DPI> <expected dark 0/1>
#include <windows.h>
// After windows.h, which it needs.
#include <richedit.h>
#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "core/installer.h"
#include "core/package/package.h"
#include "core/resources.h"
#include "lib/file_system.h"
#include "lib/ui/theme.h"
#include "product/product_info_zuva.h"
#include "tests/lib/ui/ui_test_support.h"
#include "ui/form/palette.h"
#include "ui/informational_pages.h"
#include "ui/installer_form.h"

using namespace dlx;

namespace {

int gFailures = 0;

void Check(bool condition, const char* what) {
  if (condition) return;
  std::printf("FAIL: %s\n", what);
  ++gFailures;
}

// The SETUP package made of the material files the form and these pages read.
std::unique_ptr<TCustomSetupPackage> SetupPackage(const String& folder) {
  TSetupPackageBuilder builder(SetupPackageKey);
  for (const char16_t* name : {u"Install.xml", u"English.lng", u"License_EN.rtf", u"header.png",
                               u"header_dark.png", u"wizard_light.png", u"wizard_dark.png"}) {
    std::ifstream file(W(folder + name), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.empty()) throw std::runtime_error("missing material: " + ToUtf8(name));
    TDLXMemoryStream data(bytes.data(), bytes.size());
    data.SetPosition(0);
    builder.Add(data, name);
  }
  TDLXMemoryStream package;
  builder.Commit(package, 1);
  package.SetPosition(0);
  return std::make_unique<TSetupPackageReader>(package);
}

std::unique_ptr<TCustomSetupPackage> EmptyPackage() {
  TSetupPackageBuilder builder(SetupPackageKey);
  TDLXMemoryStream package;
  builder.Commit(package, 1);
  package.SetPosition(0);
  return std::make_unique<TSetupPackageReader>(package);
}

// Pixels of the painted areas, at 96-DPI points scaled like the form.
void ProbeColours(TInstallerForm& form, const TInstallerPalette& palette, const char* page) {
  HDC dc = GetDC(form.Handle());
  RECT client;
  GetClientRect(form.Handle(), &client);
  const auto s = [&form](int value) { return form.ScaleValue(value); };
  const struct {
    const char* area;
    int x, y;
    COLORREF expected;
  } probes[] = {
      {"footer", s(300), client.bottom - s(5), palette.Accent},
      {"footer top line", s(300), client.bottom - s(44), palette.Accent},
      {"header bottom line", s(300), s(53) - 1, palette.Accent},
      {"strip background", s(300), s(54), palette.StripBackground},
      {"strip, pages passed", s(100), s(58), palette.Accent},
      {"page background", s(10), s(200), palette.Background},
  };
  for (const auto& probe : probes) {
    const COLORREF seen = GetPixel(dc, probe.x, probe.y);
    if (seen != probe.expected) {
      std::printf("FAIL: %s page, %s at (%d, %d) is %06lX, expected %06lX\n", page, probe.area, probe.x,
                  probe.y, static_cast<unsigned long>(seen), static_cast<unsigned long>(probe.expected));
      ++gFailures;
    }
  }
  ReleaseDC(form.Handle(), dc);
}

void Save(TInstallerForm& form, const String& fileName) {
  if (!SaveWindowToPng(form.Handle(), fileName)) Check(false, "cannot save a picture of the wizard");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 6) {
    std::fprintf(stderr, "usage: ui_wizard_shots <output folder> <name> <material folder> <dpi> <dark>\n");
    return 2;
  }
  uitest::MakeDpiAware();
  uitest::StartWatchdog(60000);
  const String out = IncludeTrailingPathDelimiter(FromW(argv[1]));
  const String name = FromW(argv[2]);
  const String material = IncludeTrailingPathDelimiter(FromW(argv[3]));
  const int expectedDpi = _wtoi(argv[4]);
  const bool expectedDark = _wtoi(argv[5]) != 0;
  LocalFree(argv);

  try {
    RegisterProductInfoZUVA();
    TInstaller installer(u"", TInstallerPackages(SetupPackage(material), EmptyPackage()));
    installer.Resources().InitializeLanguages(0x0409);
    Check(TDLXTheme::Instance().DarkMode() == expectedDark,
          "the theme does not follow the dark-mode setting");
    const TInstallerPalette& palette = InstallerPalette(expectedDark);

    auto form = TDLXForm::Create<TInstallerForm>(TInstallerFormPages{}, [](TInstallerPageList& pages) {
      pages.AddPage(&CreateInstallerPage<TInstallerPageWelcome>);
      pages.AddPage(&CreateInstallerPage<TInstallerPageLicense>);
      pages.AddPage(&CreateInstallerPage<TInstallerPageReadyToInstall>);
    });
    Check(form->Scale().Apply(96) == expectedDpi, "the form's scale does not follow the system DPI");
    form->Show();
    uitest::PumpFor(600);
    Check(form->Navigator().ActivePage() == form->Pages().Items(0), "the welcome page is not shown first");
    Check(form->NextButton().Enabled(), "Next is disabled on the welcome page");
    Save(*form, out + u"wizard-welcome-" + name + u".png");

    form->NextButton().Click();
    uitest::PumpFor(600);
    auto* license = dynamic_cast<TInstallerPageLicense*>(form->Navigator().ActivePage());
    Check(license != nullptr, "Next on the welcome page does not lead to the license");
    if (license) {
      Check(!form->BackButton().Visible(), "Back is offered on the license page");
      Check(IsChild(license->Handle(), GetFocus()) != FALSE, "the license text does not take the focus");
      ProbeColours(*form, palette, "license");
      Save(*form, out + u"wizard-license-" + name + u".png");
      Check(form->NextButton().Caption() == u"Next >", "Next on the license page does not say Next");
      Check(!form->NextButton().Enabled(), "Next is enabled before the license is accepted");
      license->AcceptBox().Click();
      uitest::PumpFor(200);
      Check(license->AcceptBox().Checked(), "the accept box does not check");
      Check(form->NextButton().Enabled(), "accepting the license does not enable Next");
      Save(*form, out + u"wizard-license-accepted-" + name + u".png");

      form->NextButton().Click();
      uitest::PumpFor(600);
      auto* ready = dynamic_cast<TInstallerPageReadyToInstall*>(form->Navigator().ActivePage());
      Check(ready != nullptr, "Next on the license page does not lead to the ready page");
      if (ready) {
        Check(form->BackButton().Visible(), "Back is not offered on the ready page");
        Check(form->NextButton().Caption() == u"Finish", "the last page's Next does not say Finish");
        Check(!ready->SummaryText().empty(), "the ready page shows no summary");
        // The rich edit's default black would vanish on the dark skin.
        CHARFORMAT2W format{};
        format.cbSize = sizeof(format);
        SendMessageW(ready->ViewerHandle(), EM_SETSEL, 0, 1);
        SendMessageW(ready->ViewerHandle(), EM_GETCHARFORMAT, SCF_SELECTION,
                     reinterpret_cast<LPARAM>(&format));
        if (expectedDark)
          Check((format.dwEffects & CFE_AUTOCOLOR) == 0 && format.crTextColor != RGB(0, 0, 0),
                "the summary is written in black on the dark skin");
        ProbeColours(*form, palette, "ready");
        Save(*form, out + u"wizard-ready-" + name + u".png");
      }
    }
    form->Hide();
  } catch (const std::exception& e) {
    std::printf("FAIL: %s\n", e.what());
    ++gFailures;
  }
  std::printf("wizard %s: %d failure(s)\n", ToUtf8(name).c_str(), gFailures);
  return gFailures ? 1 : 0;
}
