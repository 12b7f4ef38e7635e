// The wizard form with its pages before the work (welcome, license, setup, add-ons, integration,
// ready) and the uninstall options over the setup's own material, without installing: saves a
// picture of each page and checks, pixel by pixel, that the painted header line, progress strip,
// page background and footer carry the palette of the mode; that the license page holds Next
// back until the terms are accepted; that the setup page's warnings sit below its controls and
// the add-ons notes are not cut off; and that the ready page shows the actions' summary. Run by
// tests/lib/ui/screenshots.sh in light and dark mode at 96 and 144 DPI.
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
#include <vector>

#include "core/installer.h"
#include "core/package/package.h"
#include "core/resources.h"
#include "lib/file_system.h"
#include "lib/ui/edit.h"
#include "lib/ui/formatted_label.h"
#include "lib/ui/theme.h"
#include "product/addons_page.h"
#include "product/integration_page.h"
#include "product/product_info_zuva.h"
#include "product/setup_page.h"
#include "product/uninstall_params_page.h"
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
  for (const char16_t* name :
       {u"Install.xml", u"English.lng", u"License_EN.rtf", u"header.png", u"header_dark.png",
        u"wizard_light.png", u"wizard_dark.png", u"addons.ini", u"addons.png"}) {
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
void ProbeColours(TInstallerForm& form, const TInstallerPalette& palette, const char* page,
                  bool strip = true) {
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
    // A form of one page has no strip segments to fill.
    if (!strip && std::string(probe.area).rfind("strip", 0) == 0) continue;
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

// The active page as a T; otherwise the run cannot go on.
template <typename T>
T& ActivePage(TInstallerForm& form, const char* what) {
  auto* page = dynamic_cast<T*>(form.Navigator().ActivePage());
  if (!page) throw std::runtime_error(what);
  return *page;
}

template <typename T>
T& Child(TDLXCustomControl& parent, const String& name) {
  for (TDLXCustomControl* control : parent.Controls())
    if (auto* typed = dynamic_cast<T*>(control); typed && control->Name() == name) return *typed;
  throw std::runtime_error("no control " + ToUtf8(name));
}

RECT RectIn(const TDLXCustomControl& parent, const TDLXCustomControl& control) {
  RECT rect{};
  GetWindowRect(control.Handle(), &rect);
  MapWindowPoints(nullptr, parent.Handle(), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// The setup page's warnings: as many as expected, below the last radio box, one above the other,
// inside the page, each as high as its text.
void CheckWarnings(TInstallerPageSetup& page, size_t expected, const char* state) {
  RECT client{};
  GetClientRect(page.Handle(), &client);
  int top = RectIn(page, Child<TDLXRadioBox>(page, u"CB2")).bottom;
  size_t count = 0;
  std::vector<RECT> seen;
  for (TDLXCustomControl* control : page.Controls()) {
    if (!dynamic_cast<TDLXValidationLabel*>(control) || !control->Visible()) continue;
    ++count;
    const RECT rect = RectIn(page, *control);
    if (rect.top < top || rect.bottom > client.bottom || rect.bottom - rect.top < page.ScaleValue(13)) {
      std::printf("FAIL: %s: a warning lies at %ld..%ld (controls end at %d, page at %ld)\n", state, rect.top,
                  rect.bottom, top, client.bottom);
      ++gFailures;
    }
    for (const RECT& other : seen)
      if (rect.top < other.bottom && other.top < rect.bottom) {
        std::printf("FAIL: %s: two warnings overlap\n", state);
        ++gFailures;
      }
    seen.push_back(rect);
  }
  if (count != expected) {
    std::printf("FAIL: %s: %zu warning(s) shown, expected %zu\n", state, count, expected);
    ++gFailures;
  }
}

// A folder holding a configuration of an installation that this setup may update.
class TOldInstallation {
 public:
  explicit TOldInstallation(const String& name) : folder_(GetTempPath() + u"ZUVA shots " + name + u"\\") {
    ForceDirectories(folder_);
    std::ofstream(W(folder_ + u"ZUVA.ini"), std::ios::binary) << "[System]\r\nVersion=4500\r\nUserMode=1\r\n";
  }
  ~TOldInstallation() {
    DeleteFileW(W(folder_ + u"ZUVA.ini"));
    RemoveDirectoryW(W(folder_));
  }
  TOldInstallation(const TOldInstallation&) = delete;
  TOldInstallation& operator=(const TOldInstallation&) = delete;
  const String& Folder() const { return folder_; }

 private:
  String folder_;
};

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
      pages.AddPage(&CreateInstallerPage<TInstallerPageSetup>);
      pages.AddPage(&CreateInstallerPage<TInstallerPageAddons>);
      pages.AddPage(&CreateInstallerPage<TInstallerPageIntegration>);
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
    auto& license =
        ActivePage<TInstallerPageLicense>(*form, "Next on the welcome page does not lead to the license");
    Check(!form->BackButton().Visible(), "Back is offered on the license page");
    Check(IsChild(license.Handle(), GetFocus()) != FALSE, "the license text does not take the focus");
    ProbeColours(*form, palette, "license");
    Save(*form, out + u"wizard-license-" + name + u".png");
    Check(form->NextButton().Caption() == u"Next >", "Next on the license page does not say Next");
    Check(!form->NextButton().Enabled(), "Next is enabled before the license is accepted");
    license.AcceptBox().Click();
    uitest::PumpFor(200);
    Check(license.AcceptBox().Checked(), "the accept box does not check");
    Check(form->NextButton().Enabled(), "accepting the license does not enable Next");
    Save(*form, out + u"wizard-license-accepted-" + name + u".png");

    form->NextButton().Click();
    uitest::PumpFor(600);
    auto& setup =
        ActivePage<TInstallerPageSetup>(*form, "Next on the license page does not lead to the setup page");
    ProbeColours(*form, palette, "setup");
    CheckWarnings(setup, 0, "setup page");
    Save(*form, out + u"wizard-setup-" + name + u".png");
    {
      // The page with everything it can show: the update and backup boxes and a warning.
      TOldInstallation old(name);
      TDLXEdit& edit = Child<TDLXEdit>(setup, u"PathEdit");
      const String typed = edit.Text();
      SetWindowTextW(edit.Handle(), W(old.Folder()));
      uitest::PumpFor(300);
      Check(Child<TDLXCheckBox>(setup, u"CB1").Visible(), "the update box is hidden for an updatable folder");
      CheckWarnings(setup, 1, "setup page with an update");
      Save(*form, out + u"wizard-setup-update-" + name + u".png");
      SetWindowTextW(edit.Handle(), W(typed));
      uitest::PumpFor(200);
    }

    form->NextButton().Click();
    uitest::PumpFor(600);
    auto& addons =
        ActivePage<TInstallerPageAddons>(*form, "Next on the setup page does not lead to the add-ons");
    ProbeColours(*form, palette, "add-ons");
    for (TDLXCustomControl* control : addons.Controls())
      if (auto* note = dynamic_cast<TDLXFormattedLabel*>(control)) {
        RECT client{};
        GetClientRect(note->Handle(), &client);
        Check(note->ContentHeight() > 0 && note->ContentHeight() <= client.bottom,
              "an add-ons note is cut off");
      }
    Save(*form, out + u"wizard-addons-" + name + u".png");

    form->NextButton().Click();
    uitest::PumpFor(600);
    ActivePage<TInstallerPageIntegration>(*form,
                                          "Next on the add-ons page does not lead to the integration page");
    ProbeColours(*form, palette, "integration");
    Save(*form, out + u"wizard-integration-" + name + u".png");

    form->NextButton().Click();
    uitest::PumpFor(600);
    auto& ready = ActivePage<TInstallerPageReadyToInstall>(
        *form, "Next on the integration page does not lead to the ready page");
    Check(form->BackButton().Visible(), "Back is not offered on the ready page");
    Check(form->NextButton().Caption() == u"Finish", "the last page's Next does not say Finish");
    Check(!ready.SummaryText().empty(), "the ready page shows no summary");
    Check(IsWindowEnabled(ready.ViewerHandle()) &&
              (GetWindowLongW(ready.ViewerHandle(), GWL_STYLE) & ES_READONLY),
          "the summary is not a read-only text drawn in the normal colours");
    // The rich edit's default black would vanish on the dark skin.
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    SendMessageW(ready.ViewerHandle(), EM_SETSEL, 0, 1);
    SendMessageW(ready.ViewerHandle(), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    if (expectedDark)
      Check((format.dwEffects & CFE_AUTOCOLOR) == 0 && format.crTextColor != RGB(0, 0, 0),
            "the summary is written in black on the dark skin");
    ProbeColours(*form, palette, "ready");
    Save(*form, out + u"wizard-ready-" + name + u".png");
    form->Hide();
    form.reset();

    // The one option page of a removal, on a form of its own.
    auto removal = TDLXForm::Create<TInstallerForm>(TInstallerFormPages{}, [](TInstallerPageList& pages) {
      pages.AddPage(&CreateInstallerPage<TInstallerPageUninstallParams>);
    });
    removal->Show();
    uitest::PumpFor(600);
    ActivePage<TInstallerPageUninstallParams>(*removal, "the uninstall options page is not shown");
    ProbeColours(*removal, palette, "uninstall options", false);
    Save(*removal, out + u"wizard-uninstall-options-" + name + u".png");
    removal->Hide();
  } catch (const std::exception& e) {
    std::printf("FAIL: %s\n", e.what());
    ++gFailures;
  }
  std::printf("wizard %s: %d failure(s)\n", ToUtf8(name).c_str(), gFailures);
  return gFailures ? 1 : 0;
}
