// The control gallery: one form with every control of the library, and the language dialog with
// the setup's languages, each saved as a PNG picture. Run by screenshots.sh in light and dark mode at
// 96 and 144 DPI, so people can look at the controls and the pictures can go into the README.
//
//   dlx_ui_gallery.exe <output folder> <name> <folder with *.lng> [expected DPI] [expected dark 0/1]
//
// With the expectations given, the program also checks that the form's scale follows the system
// DPI and the theme follows the dark-mode setting, and fails (exit code 1) when not.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#include <memory>

#include "lib/file_enum.h"
#include "lib/file_system.h"
#include "lib/ini_file.h"
#include "lib/ui/button.h"
#include "lib/ui/edit.h"
#include "lib/ui/form.h"
#include "lib/ui/formatted_label.h"
#include "lib/ui/graphics.h"
#include "lib/ui/image_combo_box.h"
#include "lib/ui/label.h"
#include "lib/ui/language_dialog.h"
#include "lib/ui/panel.h"
#include "lib/ui/progress_bar.h"
#include "lib/ui/rich_viewer.h"
#include "lib/win/system.h"
#include "tests/lib/ui/ui_test_support.h"

using namespace dlx;

namespace {

// The language dialog over the *.lng files of a folder.
class TFolderLanguageDialog : public TDLXCustomLanguageDialog {
 public:
  explicit TFolderLanguageDialog(String folder) : folder_(std::move(folder)) {}

 protected:
  void EnumLangs(TDLXIniFile& ini, const std::function<void(int)>& callback) override {
    const char16_t* names[] = {u"English.lng", u"German.lng", u"Russian.lng"};
    for (int i = 0; i < 3; ++i) {
      if (!FileExists(folder_ + names[i])) continue;
      ini.LoadFromFile(folder_ + names[i]);
      callback(i);
    }
  }

 private:
  String folder_;
};

const char kRtf[] =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Segoe UI;}}\\fs18 {\\b License agreement}\\par "
    "Please read the following terms before installing. Visit https://zuva.example/ for more.\\par "
    "\\par 1. You may use the program on any number of computers.\\par "
    "2. Redistribution requires written permission.\\par }";

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 4) {
    std::fprintf(stderr, "usage: dlx_ui_gallery <output folder> <name> <lng folder> [dpi] [dark]\n");
    return 2;
  }
  uitest::MakeDpiAware();
  const String out = IncludeTrailingPathDelimiter(FromW(argv[1]));
  const String name = FromW(argv[2]);
  const String lngFolder = IncludeTrailingPathDelimiter(FromW(argv[3]));
  const int expectedDpi = argc > 4 ? _wtoi(argv[4]) : 0;
  const int expectedDark = argc > 5 ? _wtoi(argv[5]) : -1;
  int failures = 0;

  TDLXForm form;
  form.SetCaption(u"ZUVA controls");
  form.SetBorderStyle(TDLXBorderStyle::bsSingle);
  form.SetClientSize(600, 430);

  auto& heading = form.Add<TDLXLabel>(u"Skinned controls");
  TDLXFont headingFont;
  headingFont.Size = 12;
  headingFont.Bold = true;
  heading.SetFont(headingFont);
  heading.SetBounds(16, 12, 300, 24);
  auto& body = form.Add<TDLXLabel>(
      u"Every control is a real window: Tab moves the focus, Space and Enter press, screen readers read it.");
  body.SetWordWrap(true);
  body.SetBounds(16, 40, 280, 34);
  body.SetAutoSize(true);
  auto& link = form.Add<TDLXLabel>(u"zuva.example");
  link.SetUrl(u"https://zuva.example/");
  link.SetBounds(16, 86, 120, 17);
  auto& disabled = form.Add<TDLXLabel>(u"A disabled hint");
  disabled.SetEnabled(false);
  disabled.SetBounds(150, 86, 140, 17);

  const struct {
    TDLXValidationKind kind;
    const char16_t* text;
  } validations[] = {{TDLXValidationKind::vliSuccess, u"Enough free space"},
                     {TDLXValidationKind::vliWarning, u"The folder is not empty"},
                     {TDLXValidationKind::vliError, u"The folder cannot be written"},
                     {TDLXValidationKind::vliInformation, u"A portable copy keeps its settings"}};
  int y = 110;
  for (const auto& v : validations) {
    auto& label = form.Add<TDLXValidationLabel>(v.text, v.kind);
    label.SetBounds(16, y, 280, 18);
    label.AdjustSize();
    y += 22;
  }

  auto& formatted = form.Add<TDLXFormattedLabel>(
      u"[B]Bold[/B], [I]italic[/I], [U]underlined[/U], [S]struck[/S], [COLOR=#D96300]coloured[/COLOR], "
      u"[BACKCOLOR=#FFE9A8]marked[/BACKCOLOR], a [URL=https://zuva.example/]link[/URL] and "
      u"support@zuva.example.");
  formatted.SetBounds(16, 200, 280, 46);

  auto& check1 = form.Add<TDLXCheckBox>(u"&Create a desktop shortcut");
  check1.SetChecked(true);
  check1.SetBounds(16, 250, 280, 20);
  auto& check2 = form.Add<TDLXCheckBox>(u"Start with &Windows");
  check2.SetBounds(16, 272, 280, 20);
  auto& check3 = form.Add<TDLXCheckBox>(u"Disabled option");
  check3.SetChecked(true);
  check3.SetEnabled(false);
  check3.SetBounds(16, 294, 280, 20);
  auto& radio1 = form.Add<TDLXRadioBox>(u"&Normal installation");
  radio1.SetBounds(16, 322, 280, 20);
  auto& radio2 = form.Add<TDLXRadioBox>(u"&Portable installation");
  radio2.SetBounds(16, 344, 280, 20);
  radio1.SetChecked(true);

  auto& folderLabel = form.Add<TDLXLabel>(u"Destination &folder:");
  folderLabel.SetBounds(316, 12, 268, 17);
  auto& edit = form.Add<TDLXEdit>(u"C:\\Program Files\\ZUVA");
  edit.SetBounds(316, 32, 268, 24);
  edit.AddButton(u"...", 30);
  auto& memo =
      form.Add<TDLXMemo>(u"A memo with several lines.\r\nIt scrolls when the text is longer.\r\nThird line.");
  memo.SetBounds(316, 64, 268, 60);
  auto& viewer = form.Add<TDLXRichViewer>();
  viewer.SetBounds(316, 132, 268, 90);
  TDLXMemoryStream rtf(kRtf, sizeof(kRtf) - 1);
  viewer.LoadFromStream(rtf);

  TDLXImageList images;
  auto& combo = form.Add<TDLXImageComboBox>();
  combo.SetImages(&images);
  combo.SetBounds(316, 230, 268, 24);
  for (const char16_t* file : {u"English.lng", u"German.lng", u"Russian.lng"}) {
    TDLXIniFile ini;
    if (!FileExists(lngFolder + file)) continue;
    ini.LoadFromFile(lngFolder + file);
    TDLXMemoryStream data;
    TDLXIcon icon;
    if (ini.ReadStream(u"File", u"Icon", data)) icon.LoadFromMemory(data.Memory(), data.Size());
    combo.AddItem(TDLXImageComboItem{ini.ReadString(u"File", u"Name", String()), images.AddIcon(icon),
                                     ini.ReadInteger(u"File", u"LangId", 0), 0});
  }
  combo.SetItemIndex(0);

  auto& progress = form.Add<TDLXProgressBar>();
  progress.SetBounds(316, 264, 268, 12);
  progress.SetProgress(62);
  auto& waiting = form.Add<TDLXProgressBar>();
  waiting.SetBounds(316, 284, 268, 12);

  TDLXImage picture;
  picture.LoadFromFile(lngFolder + (TDLXTheme::Instance().DarkMode() ? u"header_dark.png" : u"header.png"));
  auto& panel = form.Add<TDLXPanel>();
  panel.SetBounds(316, 304, 268, 48);
  panel.OnPaint = [&](HDC dc, const RECT& client) { picture.Draw(dc, client, 255); };

  auto& back = form.Add<TDLXButton>(u"< &Back");
  back.SetEnabled(false);
  back.SetBounds(316, 390, 84, 26);
  auto& install = form.Add<TDLXButton>(u"&Install");
  install.SetDefault(true);
  install.SetBounds(408, 390, 84, 26);
  auto& cancel = form.Add<TDLXButton>(u"Cancel");
  cancel.SetBounds(500, 390, 84, 26);

  const int dpi = form.Scale().Numerator * 96 / form.Scale().Denominator;
  std::printf("gallery %s: scale %d/%d, system DPI %d, %s%s\n", ToUtf8(name).c_str(), form.Scale().Numerator,
              form.Scale().Denominator, TDLXTheme::SystemDpi(),
              TDLXTheme::Instance().DarkMode() ? "dark" : "light",
              TDLXTheme::Instance().HighContrast() ? ", high contrast" : "");
  if (expectedDpi && dpi != expectedDpi) {
    std::printf("FAIL: the form's scale is for %d DPI, the system's is %d\n", dpi, expectedDpi);
    ++failures;
  }
  if (expectedDark >= 0 && TDLXTheme::Instance().DarkMode() != (expectedDark != 0)) {
    std::printf("FAIL: dark mode is %d, expected %d\n", TDLXTheme::Instance().DarkMode() ? 1 : 0,
                expectedDark);
    ++failures;
  }

  form.Show();
  edit.SetFocus();
  uitest::PumpFor(600);
  if (!SaveWindowToPng(form.Handle(), out + u"gallery-" + name + u".png")) {
    std::printf("FAIL: cannot save the gallery picture\n");
    ++failures;
  }
  form.Hide();

  auto dialog = TDLXForm::Create<TFolderLanguageDialog>(lngFolder);
  dialog->Show();
  uitest::PumpFor(400);
  if (!SaveWindowToPng(dialog->Handle(), out + u"language-" + name + u".png")) {
    std::printf("FAIL: cannot save the language dialog's picture\n");
    ++failures;
  }
  dialog->Hide();
  LocalFree(argv);
  return failures ? 1 : 0;
}
