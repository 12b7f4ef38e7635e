#include "lib/ui/form_description.h"

#include <gtest/gtest.h>

#include "lib/ui/button.h"
#include "lib/ui/edit.h"
#include "lib/ui/label.h"
#include "lib/ui/panel.h"

using namespace dlx;

namespace {

TEST(FormDescription, BuildsNestedControlsWithTheirProperties) {
  TDLXForm form;
  LoadFormDescription(form,
                      u"// a page\r\n"
                      u"object SetupForm: TDLXForm\r\n"
                      u"  Caption = 'It''s set up'\r\n"
                      u"  ClientWidth = 300\r\n"
                      u"  ClientHeight = 200\r\n"
                      u"  object Page: TDLXPanel\r\n"
                      u"    Align = alClient\r\n"
                      u"    object LB1: TDLXLabel\r\n"
                      u"      Bounds = 10, 10, 200, 17\r\n"
                      u"      Font.Bold = True\r\n"
                      u"    end\r\n"
                      u"    object CB1: TDLXCheckBox\r\n"
                      u"      Top = 40\r\n"
                      u"      Checked = True\r\n"
                      u"      Enabled = False\r\n"
                      u"    end\r\n"
                      u"    object Path: TDLXEdit\r\n"
                      u"      Text = 'C:\\ZUVA'\r\n"
                      u"    end\r\n"
                      u"  end\r\n"
                      u"  object OK: TDLXButton\r\n"
                      u"    Caption = 'OK'\r\n"
                      u"    Align = alBottom\r\n"
                      u"    Margins = 60, 0, 60, 8\r\n"
                      u"    Height = 25\r\n"
                      u"    ModalResult = 1\r\n"
                      u"    Default = True\r\n"
                      u"  end\r\n"
                      u"end\r\n");
  EXPECT_EQ(form.Name(), u"SetupForm");
  EXPECT_EQ(form.Caption(), u"It's set up");
  EXPECT_EQ(form.ClientWidth(), 300);
  auto* page = FindComponent<TDLXPanel>(form, u"Page");
  ASSERT_NE(page, nullptr);
  auto* label = FindComponent<TDLXLabel>(form, u"LB1");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Parent(), page);
  EXPECT_TRUE(label->Font().Bold);
  EXPECT_EQ(label->Width(), 200);
  auto* check = FindComponent<TDLXCheckBox>(form, u"CB1");
  ASSERT_NE(check, nullptr);
  EXPECT_TRUE(check->Checked());
  EXPECT_FALSE(check->Enabled());
  EXPECT_EQ(check->Bounds().top, 40);
  EXPECT_EQ(FindComponent<TDLXEdit>(form, u"Path")->Text(), u"C:\\ZUVA");
  auto* ok = FindComponent<TDLXButton>(form, u"OK");
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(ok->Default());
  EXPECT_EQ(ok->ModalResult(), mrOk);
  EXPECT_EQ(form.DefaultControl(), ok);
  // Laid out: the button at the bottom with its margins, the page above it.
  RECT client, button, panel;
  GetClientRect(form.Handle(), &client);
  GetWindowRect(ok->Handle(), &button);
  GetWindowRect(page->Handle(), &panel);
  MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&button), 2);
  MapWindowPoints(nullptr, form.Handle(), reinterpret_cast<POINT*>(&panel), 2);
  EXPECT_EQ(button.bottom, client.bottom - form.Scale().Apply(8));
  EXPECT_EQ(button.left, form.Scale().Apply(60));
  EXPECT_EQ(panel.bottom, button.top);
  EXPECT_EQ(FindComponent(form, u"Nothing"), nullptr);
}

TEST(FormDescription, ErrorsNameTheLine) {
  const struct {
    const char16_t* text;
    const char16_t* message;
  } cases[] = {
      {u"object F: TDLXButton\nend",
       u"Form description line 1: the first object must be the form (TDLXForm)"},
      {u"object F: TDLXForm\n  object X: TNoSuchClass\n  end\nend",
       u"Form description line 2: unknown class TNoSuchClass"},
      {u"object F: TDLXForm\n  Colour = 3\nend", u"Form description line 2: unknown property Colour"},
      {u"object F: TDLXForm\n  object L: TDLXLabel\n    Checked = True\n  end\nend",
       u"Form description line 3: Checked is not a property of L"},
      {u"object F: TDLXForm\n  Caption = 'open\nend", u"Form description line 2: a quoted text expected"},
      {u"object F: TDLXForm\n  ClientWidth = wide\nend", u"Form description line 2: a number expected"},
      {u"object F: TDLXForm\n", u"Form description line 1: \"end\" missing"},
      {u"end", u"Form description line 1: \"end\" without an object"},
  };
  for (const auto& c : cases) {
    TDLXForm form;
    try {
      LoadFormDescription(form, c.text);
      ADD_FAILURE() << "accepted: " << ToUtf8(c.text);
    } catch (const EDLXFormDescriptionError& error) {
      EXPECT_EQ(error.Message(), c.message);
    }
  }
}

}  // namespace
