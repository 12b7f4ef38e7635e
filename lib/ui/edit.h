// Text entry and text display: the edit with its edit buttons and the memo (the rich viewer is in
// rich_viewer.h).
// System EDIT and RICHEDIT50W windows; the library draws their border (focused in the skin's
// focus colour) and gives them the skin's colours.
#pragma once

#include <vector>

#include "lib/stream.h"
#include "lib/ui/button.h"

namespace dlx {

class TDLXCustomEdit : public TDLXCustomControl {
 public:
  String Text() const { return Caption(); }
  void SetText(const String& text) { SetCaption(text); }
  void SetReadOnly(bool readOnly);
  bool ReadOnly() const;
  // Called after every change of the text, by the user or by the program.
  std::function<void()> OnChange;

 protected:
  TDLXCustomEdit(TDLXCustomControl& parent, const wchar_t* className, DWORD style);
  ~TDLXCustomEdit() override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool HandleNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
  void ColorSchemeChanged(unsigned flags) override;
  void FontChanged() override { UpdateFrame(); }
  void ScaleChanged() override { UpdateFrame(); }
  // Space between the border and the text, in device pixels.
  virtual SIZE Padding();
  COLORREF ContentColor() const;
  COLORREF TextColor() const;
  void UpdateFrame();

 private:
  void PaintFrame();
  HBRUSH ContentBrush();

  HBRUSH brush_ = nullptr;
  COLORREF brushColor_ = 0;
};

class TDLXEdit;

// A button at the right end of an edit ("..." for browsing, for example).
class TDLXEditButton : public TDLXButton {
 public:
  TDLXEditButton(TDLXCustomControl& parent, TDLXEdit& edit);
  // Width in 96-DPI pixels.
  void SetButtonWidth(int width);
  int ButtonWidth() const { return width_; }

 protected:
  const char16_t* TextureId() const override { return u"EditBox.Textures.Button"; }
  void Paint(HDC dc, const RECT& client) override;
  // The edit places its buttons; the parent's layout leaves them alone.
  void ApplyBounds(const RECT& pixels) override {}

 private:
  friend class TDLXEdit;
  TDLXEdit& edit_;
  int width_ = 24;
};

class TDLXEdit : public TDLXCustomEdit {
 public:
  explicit TDLXEdit(TDLXCustomControl& parent, const String& text = String());
  // Adds a button at the right end; the parent owns it, the tab order puts it after the edit.
  TDLXEditButton& AddButton(const String& caption = u"...", int width = 24);
  const std::vector<TDLXEditButton*>& Buttons() const { return buttons_; }
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;

 protected:
  void ApplyBounds(const RECT& pixels) override;
  SIZE Padding() override;

 private:
  friend class TDLXEditButton;
  std::vector<TDLXEditButton*> buttons_;
  RECT area_{};
};

class TDLXMemo : public TDLXCustomEdit {
 public:
  explicit TDLXMemo(TDLXCustomControl& parent, const String& text = String());

 protected:
  TDLXMemo(TDLXCustomControl& parent, const wchar_t* className, DWORD style);
};

}  // namespace dlx
