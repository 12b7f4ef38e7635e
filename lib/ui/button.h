// Buttons: push button, check box and radio box. Each is a system BUTTON window (so the dialog
// keys, the default button, Space and mnemonics and the screen readers' roles and states work as
// with any Windows button) whose painting the library replaces with the skin's textures.
#pragma once

#include "lib/ui/accessible.h"
#include "lib/ui/control.h"

namespace dlx {

// The common part: painting after every state change, the hot state, the click event, and the
// answers to screen readers (name, role and checked state, as the system's own button proxy
// gives them, also where the system has none).
class TDLXCustomButton : public TDLXCustomControl, protected IDLXAccessibleSource {
 public:
  // Called on every click: by mouse, by keyboard, or by BM_CLICK.
  std::function<void()> OnClick;
  // Simulates a click, as the user would.
  void Click();

 protected:
  TDLXCustomButton(TDLXCustomControl& parent, DWORD style, const String& caption);
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool HandleNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  virtual void Clicked();
  bool Hot() const { return hot_; }
  bool Pressed() const;
  // Frame index within a texture of normal, hot, pressed and disabled frames.
  int StateFrame() const;
  COLORREF TextColor() const;
  String AccessibleName() override { return StripMnemonic(Caption()); }
  long AccessibleRole() override;
  long AccessibleState() override;

 private:
  bool hot_ = false;
};

class TDLXButton : public TDLXCustomButton {
 public:
  explicit TDLXButton(TDLXCustomControl& parent, const String& caption = String());

  // The default button answers Enter anywhere in the form.
  void SetDefault(bool isDefault);
  bool Default() const { return default_; }
  // A button with a modal result ends its form's modal loop with it when clicked.
  void SetModalResult(int result) { modalResult_ = result; }
  int ModalResult() const { return modalResult_; }

 protected:
  void Paint(HDC dc, const RECT& client) override;
  void Clicked() override;
  // The texture the button is drawn with.
  virtual const char16_t* TextureId() const { return u"Buttons.Textures.Button"; }

 private:
  bool default_ = false;
  int modalResult_ = 0;
};

// A check box (or radio box) draws its box from a texture of eight frames (unchecked normal, hot,
// pressed, disabled, then checked) and its caption beside it.
class TDLXCheckBox : public TDLXCustomButton {
 public:
  explicit TDLXCheckBox(TDLXCustomControl& parent, const String& caption = String());
  bool Checked() const;
  // Changes the state without a click event.
  virtual void SetChecked(bool checked);
  void SetWordWrap(bool wordWrap);

 protected:
  TDLXCheckBox(TDLXCustomControl& parent, DWORD style, const String& caption);
  void Paint(HDC dc, const RECT& client) override;
  virtual const char16_t* TextureId() const { return u"Buttons.Textures.CheckBox"; }
  virtual void PaintBoxWithoutTexture(HDC dc, const RECT& box, bool checked);

 private:
  bool wordWrap_ = false;
};

// Checking a radio box unchecks the other radio boxes of the same parent and group index;
// unchecking one alone does nothing else. Arrow keys move (and check) within a group, and only
// the checked radio box of a group is a tab stop.
class TDLXRadioBox : public TDLXCheckBox {
 public:
  explicit TDLXRadioBox(TDLXCustomControl& parent, const String& caption = String(), int groupIndex = 0);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int groupIndex);
  void SetChecked(bool checked) override;

 protected:
  bool JoinsPreviousGroup() const override;
  void Clicked() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  const char16_t* TextureId() const override { return u"Buttons.Textures.RadioBox"; }
  void PaintBoxWithoutTexture(HDC dc, const RECT& box, bool checked) override;

 private:
  void UncheckOthers();
  void UpdateGroup();

  int groupIndex_;
};

}  // namespace dlx
