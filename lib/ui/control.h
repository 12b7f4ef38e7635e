// The base of every control of the library. A control is a real child window: either one of the
// system's classes (BUTTON, EDIT, STATIC, COMBOBOX, the rich edit) whose painting the library takes
// over, or a window of the library's own class. So every control takes part in the tab order and
// the dialog keys, and screen readers find it.
//
// Lengths (bounds, margins) are written in 96-DPI pixels; a control shows them multiplied by its
// scale factor, which forms set from their monitor's DPI. A control belongs to its parent: made
// with parent.Add<T>(...) the parent owns it; a control that is a member of another object is
// owned by that object and leaves its parent when destroyed.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/ui/theme.h"

namespace dlx {

class TDLXForm;

enum class TDLXAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

struct TDLXMargins {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};

// A font as the controls describe it; the size is in points at 96 DPI and scales with the
// control. An empty name takes the skin's default font; a colour overrides the skin's text colour.
struct TDLXFont {
  String Name;
  int Size = 0;  // 0: the skin's default size
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  std::optional<COLORREF> Color;
};

class TDLXCustomControl {
 public:
  virtual ~TDLXCustomControl();
  TDLXCustomControl(const TDLXCustomControl&) = delete;
  TDLXCustomControl& operator=(const TDLXCustomControl&) = delete;

  // A new control owned by this one (its parent).
  template <typename T, typename... Args>
  T& Add(Args&&... args) {
    auto control = std::make_unique<T>(*this, std::forward<Args>(args)...);
    T& result = *control;
    owned_.push_back(std::move(control));
    return result;
  }

  HWND Handle() const { return handle_; }
  TDLXCustomControl* Parent() const { return parent_; }
  // The form the control lies on (itself for a form).
  TDLXForm* Form();
  const std::vector<TDLXCustomControl*>& Controls() const { return children_; }
  // The library object of a window, or null.
  static TDLXCustomControl* FromHandle(HWND window);

  // The component name; pages look up their texts by it.
  const String& Name() const { return name_; }
  void SetName(const String& name) { name_ = name; }

  // The window text: caption of labels and buttons, text of edits.
  String Caption() const;
  void SetCaption(const String& caption);

  // Bounds in 96-DPI pixels, relative to the parent's client area; with an alignment other than
  // alNone, the parent's layout decides the position and the aligned side's length.
  void SetBounds(int left, int top, int width, int height);
  const RECT& Bounds() const { return bounds_; }
  int Width() const { return bounds_.right - bounds_.left; }
  int Height() const { return bounds_.bottom - bounds_.top; }
  void SetWidth(int width) { SetBounds(bounds_.left, bounds_.top, width, Height()); }
  void SetHeight(int height) { SetBounds(bounds_.left, bounds_.top, Width(), height); }
  TDLXAlign Align() const { return align_; }
  void SetAlign(TDLXAlign align);
  const TDLXMargins& Margins() const { return margins_; }
  void SetMargins(const TDLXMargins& margins);
  // The device-pixel rectangle the control occupies in its parent.
  RECT PixelBounds() const;

  bool Visible() const;
  virtual void SetVisible(bool visible);
  // Puts the control below its siblings: any that overlap it are drawn over it (and come before
  // it in the tab order).
  void SendToBack();
  bool Enabled() const;
  virtual void SetEnabled(bool enabled);
  // Whether the control can take the keyboard focus now: visible, enabled, a tab stop, on a
  // visible and enabled parent.
  bool CanFocus() const;
  void SetFocus();
  bool Focused() const;

  const TDLXScaleFactor& Scale() const { return scale_; }
  // Sets the scale of this control and all of its children, rescaling bounds, fonts and pictures.
  void SetScale(const TDLXScaleFactor& scale);
  int ScaleValue(int value) const { return scale_.Apply(value); }

  const TDLXFont& Font() const { return font_; }
  void SetFont(const TDLXFont& font);
  // The font as a GDI object at the control's scale (owned by the control).
  HFONT FontHandle();

  // Lays out the aligned children in the client area.
  void Realign();
  void Invalidate();

  // The colour the control's surroundings show: the form colour unless a parent paints another.
  virtual COLORREF BackgroundColor() const;
  // Paints what lies behind the rectangle (client coordinates of this control) onto dc: used by
  // transparent children. The default fills the background colour.
  virtual void PaintBackground(HDC dc, const RECT& rect);

 protected:
  // The parent must have its window; a form passes null.
  explicit TDLXCustomControl(TDLXCustomControl* parent);

  // Creates the window. A system class is subclassed; our own classes go through
  // RegisterControlClass. The control id is unique in the form, for the dialog manager.
  // A control without parent (a form) may name an owner window instead.
  void CreateHandle(const wchar_t* className, DWORD style, DWORD exStyle, const String& text = String(),
                    HWND owner = nullptr);
  // Registers (once) a window class of the library that sends everything to WindowProc.
  static const wchar_t* RegisterControlClass(const wchar_t* name, UINT classStyle = CS_DBLCLKS);

  // The control's messages. The default hands them to the original window procedure (system
  // classes) or to DefWindowProc, after routing notifications of child windows to them.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

  // A notification this control's window sent to its parent (WM_COMMAND, WM_NOTIFY,
  // WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR...), handed back to the control that caused it.
  virtual bool HandleNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }
  // The same notification when the child that sent it did not handle it (a form or page that
  // listens to its children's commands).
  virtual bool HandleChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return false;
  }

  // Painting of controls the library draws entirely (every control of the library's own window
  // class, and those system controls that call SetOwnsPainting): Paint is called with a
  // buffered device context for WM_PAINT and WM_PRINTCLIENT. The default paints the background.
  virtual void Paint(HDC dc, const RECT& client) { PaintBackground(dc, client); }
  // Paints the parent's background behind this control, for controls that show it through.
  void PaintParentBackground(HDC dc, const RECT& client);
  void SetOwnsPainting(bool owns) { ownsPainting_ = owns; }

  // Whether the control continues the dialog group of the control created before it (radio boxes
  // of one group do); every other control starts a group of its own (WS_GROUP), so arrow keys
  // move only inside radio groups.
  virtual bool JoinsPreviousGroup() const { return false; }

  // Hooks for subclasses.
  virtual void ScaleChanged() {}
  virtual void FontChanged() {}
  virtual void ColorSchemeChanged(unsigned flags);
  // Places the window(s) of the control at a device-pixel rectangle of the parent.
  virtual void ApplyBounds(const RECT& pixels);
  // The area in which children are aligned, in client pixels.
  virtual RECT AlignArea();

  // Tells this control and its children of a theme change (forms call it).
  void NotifyColorSchemeChanged(unsigned flags);
  // Draws the caption with the control's font and a colour; flags as for DrawTextW.
  void DrawCaption(HDC dc, RECT rect, COLORREF color, UINT flags);

  HWND handle_ = nullptr;

 private:
  static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Attach(HWND window);
  void Detach();
  void RecreateFont();
  bool RouteToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

  TDLXCustomControl* parent_;
  std::vector<TDLXCustomControl*> children_;
  std::vector<std::unique_ptr<TDLXCustomControl>> owned_;
  WNDPROC originalProc_ = nullptr;
  bool ownsPainting_ = false;
  String name_;
  RECT bounds_{0, 0, 75, 25};
  TDLXAlign align_ = TDLXAlign::alNone;
  TDLXMargins margins_;
  TDLXScaleFactor scale_;
  TDLXFont font_;
  int nextId_ = 1000;  // control ids handed out by a top-level control
  HFONT fontHandle_ = nullptr;
  bool fontIsCurrent_ = false;
};

// Paints the window's own surface: a double-buffered WM_PAINT or a WM_PRINTCLIENT.
void PaintBuffered(HWND window, UINT message, WPARAM wParam,
                   const std::function<void(HDC, const RECT&)>& paint);

}  // namespace dlx
