// The controls driven as a user drives them: mouse messages, keys through SendInput, the dialog
// keys of a modal form.
#include <windows.h>
// windows.h first: richedit.h needs it.
#include <gtest/gtest.h>
#include <richedit.h>

#include <functional>
#include <string>

#include "lib/ui/button.h"
#include "lib/ui/edit.h"
#include "lib/ui/form.h"
#include "lib/ui/formatted_label.h"
#include "lib/ui/label.h"
#include "lib/ui/progress_bar.h"
#include "lib/ui/rich_viewer.h"
#include "tests/lib/ui/ui_test_support.h"

using namespace dlx;

namespace {

void ClickWithMouse(HWND window) {
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
  uitest::PumpFor(30);
}

bool HasStyle(const TDLXCustomControl& control, LONG style) {
  return (GetWindowLongW(control.Handle(), GWL_STYLE) & style) != 0;
}

// One letter per box, "1" when it has the property: "0101" reads at a glance in a failure.
template <typename Has>
std::string Each(std::initializer_list<const TDLXCheckBox*> boxes, Has has) {
  std::string flags;
  for (const TDLXCheckBox* c : boxes) flags += has(*c) ? '1' : '0';
  return flags;
}

// Shows the form modally while the steps run; the modal result.
int ModalWith(TDLXForm& form, std::vector<std::function<void()>> steps) {
  uitest::StartSteps(std::move(steps));
  const int result = form.ShowModal();
  uitest::StopSteps();
  return result;
}

TEST(RadioBox, CheckingOneUnchecksItsGroupOnly) {
  TDLXForm form;
  auto& a1 = form.Add<TDLXRadioBox>(u"A1");
  auto& a2 = form.Add<TDLXRadioBox>(u"A2");
  auto& a3 = form.Add<TDLXRadioBox>(u"A3");
  auto& check = form.Add<TDLXCheckBox>(u"Other");
  auto& a4 = form.Add<TDLXRadioBox>(u"A4, same group, elsewhere");
  auto& b1 = form.Add<TDLXRadioBox>(u"B1", 1);
  auto& b2 = form.Add<TDLXRadioBox>(u"B2", 1);
  int y = 0;
  for (TDLXCustomControl* c : form.Controls()) c->SetBounds(10, y += 22, 200, 20);
  form.Show();
  a1.SetChecked(true);
  b1.SetChecked(true);
  check.SetChecked(true);
  const std::initializer_list<const TDLXCheckBox*> all{&a1, &a2, &a3, &check, &a4, &b1, &b2};
  const auto checked = [](const TDLXCheckBox& box) { return box.Checked(); };
  a4.SetChecked(true);  // unchecks A1, leaves B1
  EXPECT_EQ(Each(all, checked), "0001110");

  ClickWithMouse(a2.Handle());
  EXPECT_EQ(Each(all, checked), "0101010");
  // The checked box is its group's tab stop; groups begin where the group index changes.
  EXPECT_EQ(Each({&a1, &a2}, [](auto& c) { return HasStyle(c, WS_TABSTOP); }), "01");
  EXPECT_EQ(Each(all, [](auto& c) { return HasStyle(c, WS_GROUP); }), "1001110");

  // Arrow keys move within the group and check as they go.
  a2.SetFocus();
  uitest::PressKey(VK_DOWN);
  EXPECT_EQ(GetFocus(), a3.Handle());
  EXPECT_EQ(Each(all, checked), "0011010");

  // Unchecking alone checks nothing else.
  a3.SetChecked(false);
  EXPECT_FALSE(a1.Checked() || a2.Checked() || a3.Checked() || a4.Checked());
}

TEST(Edit, ChangeEventsAndEditButton) {
  TDLXForm form;
  auto& edit = form.Add<TDLXEdit>();
  edit.SetBounds(10, 10, 200, 24);
  auto& later = form.Add<TDLXCheckBox>(u"Created between");
  later.SetBounds(10, 40, 200, 20);
  int changes = 0, clicks = 0;
  edit.OnChange = [&] { ++changes; };
  TDLXEditButton& button = edit.AddButton(u"...", 30);
  button.OnClick = [&] { ++clicks; };
  form.Show();
  SetForegroundWindow(form.Handle());
  edit.SetFocus();
  uitest::TypeText(L"C:\\x");
  EXPECT_EQ(edit.Text(), u"C:\\x");
  EXPECT_EQ(changes, 4);
  edit.SetText(u"D:\\");
  EXPECT_EQ(changes, 5);

  // The button sits at the right end of the edit's bounds and follows it in the tab order.
  RECT editRect, buttonRect;
  GetWindowRect(edit.Handle(), &editRect);
  GetWindowRect(button.Handle(), &buttonRect);
  EXPECT_EQ(buttonRect.right - buttonRect.left, form.Scale().Apply(30));
  EXPECT_LT(editRect.right, buttonRect.left);
  EXPECT_EQ(buttonRect.right, editRect.left + form.Scale().Apply(200));
  uitest::PressKey(VK_TAB);
  EXPECT_EQ(GetFocus(), button.Handle());
  uitest::PressKey(VK_SPACE);
  EXPECT_EQ(clicks, 1);
  uitest::PressKey(VK_TAB);
  EXPECT_EQ(GetFocus(), later.Handle());
}

TEST(Form, TabOrderAndDialogKeysInAModalForm) {
  TDLXForm form;
  form.SetClientSize(300, 160);
  auto& accept = form.Add<TDLXCheckBox>(u"&Accept");
  accept.SetBounds(10, 10, 200, 20);
  auto& edit = form.Add<TDLXEdit>();
  edit.SetBounds(10, 40, 200, 24);
  auto& hidden = form.Add<TDLXButton>(u"Hidden");
  hidden.SetVisible(false);
  auto& ok = form.Add<TDLXButton>(u"OK");
  ok.SetBounds(120, 120, 80, 26);
  ok.SetModalResult(mrOk);
  ok.SetDefault(true);
  auto& cancel = form.Add<TDLXButton>(u"Cancel");
  cancel.SetBounds(210, 120, 80, 26);
  cancel.SetModalResult(mrCancel);

  // Tab walks the visible controls in creation order and wraps; Alt+A toggles the check box.
  std::vector<HWND> focus;
  const auto record = [&] { focus.push_back(GetFocus()); };
  const auto tab = [] { uitest::SendKeyStroke(VK_TAB); };
  EXPECT_EQ(ModalWith(form, {record, tab, record, tab, record, tab, record, tab, record,
                             [] { uitest::SendKeyStroke('A', false, true); },
                             [] { uitest::SendKeyStroke(VK_ESCAPE); }}),
            mrCancel);
  const std::vector<HWND> expected{accept.Handle(), edit.Handle(), ok.Handle(), cancel.Handle(),
                                   accept.Handle()};
  EXPECT_EQ(focus, expected);
  EXPECT_TRUE(accept.Checked());

  // Enter in the edit presses the default button.
  EXPECT_EQ(ModalWith(form, {[&] { edit.SetFocus(); }, [] { uitest::SendKeyStroke(VK_RETURN); }}), mrOk);

  // Ctrl+Enter gives OK from anywhere, even with the default button switched off.
  ok.SetDefault(false);
  EXPECT_EQ(ModalWith(form, {[&] { cancel.SetFocus(); }, [] { uitest::SendKeyStroke(VK_RETURN, true); }}),
            mrOk);

  // Space on a focused button clicks it; closing the window is Cancel.
  EXPECT_EQ(ModalWith(form, {[&] { cancel.SetFocus(); }, [] { uitest::SendKeyStroke(VK_SPACE); }}), mrCancel);
  EXPECT_EQ(ModalWith(form, {[&] { PostMessageW(form.Handle(), WM_CLOSE, 0, 0); }}), mrCancel);
  EXPECT_FALSE(IsWindowVisible(form.Handle()));
}

TEST(FormattedLabel, LinksAreFoundAndFollowed) {
  TDLXForm form;
  auto& label =
      form.Add<TDLXFormattedLabel>(u"[URL=zuva.example]Home[/URL] and [B]more[/B] mail@zuva.example");
  label.SetBounds(0, 0, 400, 40);
  form.Show();
  EXPECT_EQ(label.Caption(), u"Home and more mail@zuva.example");
  EXPECT_EQ(label.LinkAt(POINT{2, 3}), u"zuva.example");
  EXPECT_EQ(label.LinkAt(POINT{395, 35}), u"");
  std::vector<String> clicked;
  label.OnLinkClick = [&](const String& target) { clicked.push_back(target); };
  SendMessageW(label.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 3));
  ASSERT_EQ(clicked.size(), 1u);
  EXPECT_EQ(clicked[0], u"zuva.example");
  // From the keyboard: the label with a link is a tab stop, Enter follows the link.
  auto& ok = form.Add<TDLXButton>(u"OK");
  ok.SetDefault(true);
  ok.SetBounds(0, 50, 80, 26);
  int okClicks = 0;
  ok.OnClick = [&] { ++okClicks; };
  SetForegroundWindow(form.Handle());
  ok.SetFocus();
  uitest::PressKey(VK_TAB);
  EXPECT_EQ(GetFocus(), label.Handle());
  uitest::PressKey(VK_RETURN);
  EXPECT_EQ(clicked.size(), 2u);
  EXPECT_EQ(okClicks, 0);
  // Without links it is no tab stop.
  label.SetCaption(u"[B]only text[/B]");
  EXPECT_FALSE(GetWindowLongW(label.Handle(), GWL_STYLE) & WS_TABSTOP);

  const struct {
    const char16_t* target;
    const char16_t* opened;
  } targets[] = {
      {u"https://zuva.example/", u"https://zuva.example/"},
      {u"zuva.example/help", u"http://zuva.example/help"},
      {u"mailto:mail@zuva.example", u"mailto:mail@zuva.example"},
      {u"C:\\windows", u"C:\\windows"},
      {u"C:\\no such folder", u"http://C:\\no such folder"},
  };
  for (const auto& t : targets) EXPECT_EQ(TDLXFormattedLabel::LinkTargetForShell(t.target), t.opened);
}

TEST(ProgressBar, RangeAndWaitingAnimation) {
  TDLXForm form;
  auto& bar = form.Add<TDLXProgressBar>();
  EXPECT_TRUE(bar.Waiting());
  bar.SetProgress(25);
  EXPECT_FALSE(bar.Waiting());
  EXPECT_DOUBLE_EQ(bar.Fraction(), 0.25);  // 0..100 while the range is 0..0
  bar.SetRange(0, 50);
  EXPECT_DOUBLE_EQ(bar.Fraction(), 0.5);
  bar.SetProgress(80);
  EXPECT_DOUBLE_EQ(bar.Fraction(), 1.0);
  bar.SetProgress(0);
  EXPECT_TRUE(bar.Waiting());
}

TEST(Label, AutoSizeAndUrl) {
  TDLXForm form;
  auto& label = form.Add<TDLXLabel>(u"Short");
  label.SetAutoSize(true);
  const int shortWidth = label.Width();
  label.SetCaption(u"A considerably longer caption");
  EXPECT_GT(label.Width(), shortWidth);
  label.SetUrl(u"https://zuva.example/");
  EXPECT_TRUE(label.Font().Underline);
}

TEST(RichViewer, LinkTargets) {
  const std::pair<String, String> cases[] = {
      {u"HYPERLINK \"https://zuva.example/privacy\"the notice", u"https://zuva.example/privacy"},
      {u"hyperlink  \"mailto:a@b.example\" write to us", u"mailto:a@b.example"},
      {u"www.zuva.example", u"http://www.zuva.example"},
      {u"help@zuva.example", u"mailto:help@zuva.example"},
      {u" https://zuva.example/x\r", u"https://zuva.example/x"},
      {u"HYPERLINK without quotes", u"HYPERLINK without quotes"},
  };
  for (const auto& [text, target] : cases)
    EXPECT_EQ(TDLXRichViewer::LinkTarget(text), target) << ToUtf8(text);
}

TEST(RichViewer, TheRichEditsLinksAreFollowedAndOnlyTheDefaultColourIsTheSkins) {
  TDLXForm form;
  form.SetClientSize(500, 200);
  auto& viewer = form.Add<TDLXRichViewer>();
  viewer.SetBounds(0, 0, 480, 180);
  ASSERT_TRUE(viewer.IsRichEdit());
  const char rtf[] =
      "{\\rtf1\\ansi{\\colortbl ;\\red200\\green10\\blue20;}{\\b Terms}\\par See https://zuva.example/terms "
      "or mailto:help@zuva.example and "
      "{\\field{\\*\\fldinst{HYPERLINK \"https://zuva.example/privacy\"}}{\\fldrslt{the notice}}} here.\\par "
      "{\\cf1 Red words} stay red.\\par}";
  TDLXMemoryStream stream(rtf, sizeof(rtf) - 1);
  viewer.LoadFromStream(stream);
  form.Show();
  uitest::PumpFor(50);
  std::vector<String> targets;
  for (const auto& link : viewer.Links()) targets.push_back(link.Target);
  // Wine's rich edit shows a hyperlink field as plain text; Windows' marks it as a link too.
  ASSERT_GE(targets.size(), 2u);
  EXPECT_EQ(targets[0], u"https://zuva.example/terms");
  EXPECT_EQ(targets[1], u"mailto:help@zuva.example");
  ASSERT_FALSE(viewer.Links().empty());
  const auto colorAt = [&](LONG position) {
    CHARRANGE range{position, position + 1};
    SendMessageW(viewer.Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format{};
    format.cbSize = sizeof(format);
    SendMessageW(viewer.Handle(), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    range = CHARRANGE{0, 0};
    SendMessageW(viewer.Handle(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    return format.crTextColor;
  };
  const TDLXTheme& theme = TDLXTheme::Instance();
  EXPECT_EQ(colorAt(viewer.Links()[0].First + 2),
            theme.Color(u"Labels.Colors.TextHyperlink", COLOR_HOTLIGHT));
  EXPECT_EQ(colorAt(1), theme.Color(u"EditBox.Colors.Text", COLOR_WINDOWTEXT));
  // The RTF's own colour stays.
  GETTEXTLENGTHEX query{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const LONG length = static_cast<LONG>(
      SendMessageW(viewer.Handle(), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&query), 0));
  String text(static_cast<size_t>(length) + 1, u'\0');
  TEXTRANGEW all{{0, length}, reinterpret_cast<wchar_t*>(text.data())};
  text.resize(
      static_cast<size_t>(SendMessageW(viewer.Handle(), EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&all))));
  const size_t red = text.find(u"Red words");
  ASSERT_NE(red, String::npos);
  EXPECT_EQ(colorAt(static_cast<LONG>(red) + 1), RGB(200, 10, 20));

  // A click on a link follows it; a click on other text does not.
  std::vector<String> followed;
  viewer.OnLinkClick = [&](const String& target) { followed.push_back(target); };
  const auto clickAt = [&](LONG position) {
    POINTL point{};
    SendMessageW(viewer.Handle(), EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&point), position);
    const LPARAM where = MAKELPARAM(point.x + 2, point.y + 4);
    SendMessageW(viewer.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, where);
    SendMessageW(viewer.Handle(), WM_LBUTTONUP, 0, where);
    uitest::PumpFor(30);
  };
  for (const auto& link : viewer.Links()) clickAt(link.End - 2);
  clickAt(1);
  EXPECT_EQ(followed, targets);
}

}  // namespace
