// The language dialog: order, pictures and preselection of the list, and what closing it leaves.
#include "lib/ui/language_dialog.h"

#include <gtest/gtest.h>

#include <vector>

#include "lib/ui/image_list.h"
#include "tests/lib/ui/ui_test_support.h"

using namespace dlx;

namespace {

// A 16 x 16 icon file (one 32-bit image) as the hexadecimal text of a language file.
String IconHex() {
  std::vector<uint8_t> ico{0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0};
  const uint32_t pixels = 16 * 16 * 4, mask = 16 * 4, image = 40 + pixels + mask;
  for (uint32_t v : {image, 22u})
    for (int i = 0; i < 4; ++i) ico.push_back(static_cast<uint8_t>(v >> (8 * i)));
  const uint32_t header[] = {40, 16, 32};
  for (uint32_t v : header)
    for (int i = 0; i < 4; ++i) ico.push_back(static_cast<uint8_t>(v >> (8 * i)));
  for (uint8_t b : {1, 0, 32, 0}) ico.push_back(b);  // planes, bit count
  ico.resize(ico.size() + 24, 0);                    // compression .. important colours
  for (uint32_t i = 0; i < 16 * 16; ++i)
    for (uint8_t b : {0x33, 0x8C, 0xDE, 0xFF}) ico.push_back(b);
  ico.resize(ico.size() + mask, 0);
  static const char digits[] = "0123456789ABCDEF";
  String hex;
  for (uint8_t b : ico) {
    hex += static_cast<char16_t>(digits[b >> 4]);
    hex += static_cast<char16_t>(digits[b & 15]);
  }
  return hex;
}

struct TLanguage {
  String Name;
  int LangId;
  String Icon;  // hexadecimal text; empty: no key
  bool Present = true;
};

class TTestLanguageDialog : public TDLXCustomLanguageDialog {
 public:
  explicit TTestLanguageDialog(std::vector<TLanguage> languages) : languages_(std::move(languages)) {}

 protected:
  void EnumLangs(TDLXIniFile& ini, const std::function<void(int)>& callback) override {
    for (size_t i = 0; i < languages_.size(); ++i) {
      const TLanguage& l = languages_[i];
      if (!l.Present) continue;  // a file the package cannot open
      String text = u"[File]\r\n";
      if (!l.Name.empty()) text += u"Name=" + l.Name + u"\r\n";
      if (l.LangId) text += u"LangId=" + IntToStr(l.LangId) + u"\r\n";
      if (!l.Icon.empty()) text += u"Icon=" + l.Icon + u"\r\n";
      ini.LoadFromText(text);
      callback(static_cast<int>(i));
    }
  }

 private:
  std::vector<TLanguage> languages_;
};

std::vector<String> Texts(TDLXCustomLanguageDialog& dialog) {
  std::vector<String> texts;
  for (int i = 0; i < dialog.ComboBox().Count(); ++i) texts.push_back(dialog.ComboBox().Item(i).Text);
  return texts;
}

TEST(LanguageDialog, ListSortedByNameWithPictures) {
  const String icon = IconHex();
  auto dialog = TDLXForm::Create<TTestLanguageDialog>(std::vector<TLanguage>{
      {u"\u0420\u0443\u0441\u0441\u043a\u0438\u0439", 1049, icon},
      {u"Deutsch", 1031, icon},
      {u"English", 1033, u"0000"},       // not an icon file
      {u"deutsch", 2055, u"zz-no-hex"},  // equal name: after the first
      {u"", 0, String()},                // no name: first
      {u"Gone", 1036, icon, false},
  });
  const std::vector<String> expected{u"", u"Deutsch", u"deutsch", u"English",
                                     u"\u0420\u0443\u0441\u0441\u043a\u0438\u0439"};
  EXPECT_EQ(Texts(*dialog), expected);
  const TDLXImageComboBox& combo = dialog->ComboBox();
  const int data[] = {4, 1, 3, 2, 0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(combo.Item(i).Data, data[i]) << i;
  EXPECT_EQ(combo.Item(1).Tag, 1031);
  EXPECT_EQ(combo.Item(0).Tag, 0);
  // Pictures only for readable icons.
  EXPECT_EQ(dialog->Images().Count(), 2);
  EXPECT_GE(combo.Item(1).ImageIndex, 0);
  EXPECT_GE(combo.Item(4).ImageIndex, 0);
  EXPECT_EQ(combo.Item(0).ImageIndex, -1);
  EXPECT_EQ(combo.Item(2).ImageIndex, -1);
  EXPECT_EQ(combo.Item(3).ImageIndex, -1);
  // The window: fixed size, no close box command, the caption.
  EXPECT_EQ(dialog->Caption(), u"Select Language");
  RECT client;
  GetClientRect(dialog->Handle(), &client);
  EXPECT_EQ(client.right, dialog->Scale().Apply(220));
  EXPECT_EQ(client.bottom, dialog->Scale().Apply(75));
  EXPECT_TRUE(GetMenuState(GetSystemMenu(dialog->Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
}

TEST(LanguageDialog, PreselectionByUiLanguageThenEnglishThenFirst) {
  const int ui = GetUserDefaultUILanguage();
  const int other = ui == 1049 ? 1036 : 1049;
  const struct {
    std::vector<TLanguage> languages;
    int selectedData;
  } cases[] = {
      // The UI language, wherever it sorts.
      {{{u"Other", other, {}}, {u"Zulu", ui, {}}, {u"Anglais", other, {}}}, 1},
      // Without it, the first English item in list order.
      {{{u"English", 1033, {}}, {u"Other", other, {}}, {u"Anglais", 1033, {}}}, 2},
      // Neither: the first by name.
      {{{u"Zulu", other, {}}, {u"Basque", 1069 == ui ? 1070 : 1069, {}}}, 1},
  };
  for (const auto& c : cases) {
    auto dialog = TDLXForm::Create<TTestLanguageDialog>(c.languages);
    EXPECT_EQ(dialog->SelectedIndex(), c.selectedData);
  }
  auto empty = TDLXForm::Create<TTestLanguageDialog>(std::vector<TLanguage>{});
  EXPECT_EQ(empty->SelectedIndex(), -1);
}

TEST(LanguageDialog, EscapeKeepsTheSelectedLanguage) {
  auto dialog = TDLXForm::Create<TTestLanguageDialog>(
      std::vector<TLanguage>{{u"English", 1033, {}}, {u"Deutsch", 1031, {}}, {u"Espa\u00f1ol", 1034, {}}});
  const int before = dialog->SelectedIndex();
  uitest::StartSteps({[&] { dialog->ComboBox().SetFocus(); }, [] { uitest::SendKeyStroke(VK_DOWN); },
                      [] { uitest::SendKeyStroke(VK_ESCAPE); }});
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  uitest::StopSteps();
  EXPECT_NE(dialog->SelectedIndex(), before);
  EXPECT_NE(dialog->SelectedIndex(), -1);
  // Ctrl+Enter and the OK button give OK.
  uitest::StartSteps({[] { uitest::SendKeyStroke(VK_RETURN, true); }});
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  uitest::StopSteps();
  uitest::StartSteps({[&] { dialog->OkButton().Click(); }});
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  uitest::StopSteps();
}

// Run with LANG=de_DE.UTF-8 (the test dlx_ui_tests_german): Wine's UI language is then German.
TEST(LanguageDialogGermanUi, GermanIsPreselected) {
  ASSERT_EQ(GetUserDefaultUILanguage(), 1031) << "this test needs a German user interface language";
  const String icon = IconHex();
  auto dialog = TDLXForm::Create<TTestLanguageDialog>(
      std::vector<TLanguage>{{u"English", 1033, icon},
                             {u"Deutsch", 1031, icon},
                             {u"\u0420\u0443\u0441\u0441\u043a\u0438\u0439", 1049, icon}});
  EXPECT_EQ(dialog->SelectedIndex(), 1);
}

}  // namespace
