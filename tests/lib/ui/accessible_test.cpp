// What a screen reader learns of each control, read back through IAccessible as one would.
#include <gtest/gtest.h>
#include <oleacc.h>

#include "lib/ui/button.h"
#include "lib/ui/edit.h"
#include "lib/ui/form.h"
#include "lib/ui/formatted_label.h"
#include "lib/ui/image_combo_box.h"
#include "lib/ui/label.h"
#include "lib/ui/progress_bar.h"
#include "lib/win/handles.h"
#include "tests/lib/ui/ui_test_support.h"

using namespace dlx;

namespace {

struct TAccessibleFacts {
  String Name;
  long Role = 0;
  String Value;
  long State = 0;
};

TAccessibleFacts Read(HWND window) {
  TAccessibleFacts facts;
  TComPtr<IAccessible> object;
  const HRESULT hr = AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT),
                                                __uuidof(IAccessible), object.AsOutParam());
  if (FAILED(hr) || !object) {
    TComPtr<IAccessible> standard;
    const HRESULT std =
        CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible), standard.AsOutParam());
    ADD_FAILURE() << "no accessible object: " << std::hex << hr << " standard " << std;
    return facts;
  }
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  if (SUCCEEDED(object->get_accName(self, &text)) && text) facts.Name = FromW(text);
  SysFreeString(text);
  text = nullptr;
  if (SUCCEEDED(object->get_accValue(self, &text)) && text) facts.Value = FromW(text);
  SysFreeString(text);
  VARIANT role;
  VariantInit(&role);
  if (SUCCEEDED(object->get_accRole(self, &role)) && role.vt == VT_I4) facts.Role = role.lVal;
  VARIANT state;
  VariantInit(&state);
  if (SUCCEEDED(object->get_accState(self, &state)) && state.vt == VT_I4) facts.State = state.lVal;
  return facts;
}

TEST(Accessibility, ControlsTellTheirNameRoleAndState) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  {
    TDLXForm form;
    auto& button = form.Add<TDLXButton>(u"Install");
    auto& check = form.Add<TDLXCheckBox>(u"Create a shortcut");
    check.SetChecked(true);
    auto& radio = form.Add<TDLXRadioBox>(u"Portable");
    auto& label = form.Add<TDLXLabel>(u"Destination folder:");
    auto& edit = form.Add<TDLXEdit>(u"C:\\ZUVA");
    auto& bar = form.Add<TDLXProgressBar>();
    bar.SetName(u"Installing");
    bar.SetProgress(42);
    auto& formatted = form.Add<TDLXFormattedLabel>(u"Read the [B]license[/B] at [URL=x]zuva.example[/URL]");
    auto& combo = form.Add<TDLXImageComboBox>();
    combo.AddItem(TDLXImageComboItem{u"English", -1, 1033, 0});
    combo.AddItem(TDLXImageComboItem{u"Deutsch", -1, 1031, 1});
    combo.SetItemIndex(1);
    int y = 0;
    for (TDLXCustomControl* c : form.Controls()) c->SetBounds(10, y += 30, 250, 24);
    form.Show();
    uitest::PumpFor(50);

    const TAccessibleFacts buttonFacts = Read(button.Handle());
    EXPECT_EQ(buttonFacts.Name, u"Install");
    EXPECT_EQ(buttonFacts.Role, ROLE_SYSTEM_PUSHBUTTON);
    const TAccessibleFacts checkFacts = Read(check.Handle());
    EXPECT_EQ(checkFacts.Name, u"Create a shortcut");
    EXPECT_EQ(checkFacts.Role, ROLE_SYSTEM_CHECKBUTTON);
    EXPECT_TRUE(checkFacts.State & STATE_SYSTEM_CHECKED);
    EXPECT_EQ(Read(radio.Handle()).Role, ROLE_SYSTEM_RADIOBUTTON);
    EXPECT_EQ(Read(label.Handle()).Name, u"Destination folder:");
    const TAccessibleFacts editFacts = Read(edit.Handle());
    EXPECT_EQ(editFacts.Role, ROLE_SYSTEM_TEXT);
    EXPECT_EQ(editFacts.Value, u"C:\\ZUVA");
    // Controls of the library's own classes answer for themselves.
    const TAccessibleFacts barFacts = Read(bar.Handle());
    EXPECT_EQ(barFacts.Name, u"Installing");
    EXPECT_EQ(barFacts.Role, ROLE_SYSTEM_PROGRESSBAR);
    EXPECT_EQ(barFacts.Value, u"42%");
    const TAccessibleFacts formattedFacts = Read(formatted.Handle());
    EXPECT_EQ(formattedFacts.Name, u"Read the license at zuva.example");
    EXPECT_EQ(formattedFacts.Role, ROLE_SYSTEM_STATICTEXT);
    EXPECT_TRUE(formattedFacts.State & STATE_SYSTEM_LINKED);
    const TAccessibleFacts comboFacts = Read(combo.Handle());
    EXPECT_EQ(comboFacts.Role, ROLE_SYSTEM_COMBOBOX);
    EXPECT_EQ(comboFacts.Value, u"Deutsch");
  }
  CoUninitialize();
}

}  // namespace
