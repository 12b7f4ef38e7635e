#include "lib/ui/button.h"

#include <oleacc.h>

#include <algorithm>

#include "lib/ui/form.h"
#include "lib/ui/graphics.h"

namespace dlx {
namespace {

constexpr int kFrameNormal = 0, kFrameHot = 1, kFramePressed = 2, kFrameDisabled = 3, kFrameFocused = 4;

}  // namespace

TDLXCustomButton::TDLXCustomButton(TDLXCustomControl& parent, DWORD style, const String& caption)
    : TDLXCustomControl(&parent) {
  CreateHandle(L"BUTTON", WS_VISIBLE | WS_TABSTOP | style, 0, caption);
  SetOwnsPainting(true);
}

void TDLXCustomButton::Click() {
  if (handle_) SendMessageW(handle_, BM_CLICK, 0, 0);
}

bool TDLXCustomButton::Pressed() const {
  return handle_ && (SendMessageW(handle_, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
}

int TDLXCustomButton::StateFrame() const {
  if (!Enabled()) return kFrameDisabled;
  if (Pressed()) return kFramePressed;
  if (hot_) return kFrameHot;
  return kFrameNormal;
}

COLORREF TDLXCustomButton::TextColor() const {
  const TDLXTheme& theme = TDLXTheme::Instance();
  if (!Enabled()) return theme.Color(u"Buttons.Colors.TextDisabled", COLOR_GRAYTEXT);
  return theme.Color(u"Buttons.Colors.Text", COLOR_BTNTEXT);
}

long TDLXCustomButton::AccessibleRole() {
  switch (GetWindowLongW(handle_, GWL_STYLE) & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
    case BS_CHECKBOX:
      return ROLE_SYSTEM_CHECKBUTTON;
    case BS_AUTORADIOBUTTON:
    case BS_RADIOBUTTON:
      return ROLE_SYSTEM_RADIOBUTTON;
    default:
      return ROLE_SYSTEM_PUSHBUTTON;
  }
}

long TDLXCustomButton::AccessibleState() {
  long state = 0;
  if (SendMessageW(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED) state |= STATE_SYSTEM_CHECKED;
  if ((GetWindowLongW(handle_, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) state |= STATE_SYSTEM_DEFAULT;
  if (Pressed()) state |= STATE_SYSTEM_PRESSED;
  return state;
}

void TDLXCustomButton::Clicked() {
  if (OnClick) OnClick();
}

bool TDLXCustomButton::HandleNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message == WM_COMMAND && (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == BN_DOUBLECLICKED)) {
    Clicked();
    result = 0;
    return true;
  }
  return false;
}

LRESULT TDLXCustomButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    // The system button paints directly while handling these; the skin paints over it at once.
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case WM_SETTEXT:
    case BM_SETSTATE:
    case BM_SETCHECK:
    case BM_SETSTYLE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CAPTURECHANGED:
    case WM_UPDATEUISTATE: {
      const LRESULT result = DefaultProc(message, wParam, lParam);
      if (handle_) RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      return result;
    }
    case WM_MOUSEMOVE:
      if (!hot_) {
        hot_ = true;
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, handle_, 0};
        TrackMouseEvent(&track);
        Invalidate();
      }
      break;
    case WM_MOUSELEAVE:
      hot_ = false;
      Invalidate();
      break;
    case WM_GETOBJECT:
      if (const LRESULT answer = AnswerGetObject(handle_, wParam, lParam, *this)) return answer;
      break;
    default:
      break;
  }
  return TDLXCustomControl::WindowProc(message, wParam, lParam);
}

TDLXButton::TDLXButton(TDLXCustomControl& parent, const String& caption)
    : TDLXCustomButton(parent, BS_PUSHBUTTON, caption) {}

void TDLXButton::SetDefault(bool isDefault) {
  default_ = isDefault;
  SendMessageW(handle_, BM_SETSTYLE, isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  if (TDLXForm* form = Form()) {
    if (isDefault)
      form->SetDefaultControl(this);
    else if (form->DefaultControl() == this)
      form->SetDefaultControl(nullptr);
  }
}

void TDLXButton::Clicked() {
  TDLXCustomButton::Clicked();
  if (modalResult_ != 0)
    if (TDLXForm* form = Form()) form->SetModalResult(modalResult_);
}

void TDLXButton::Paint(HDC dc, const RECT& client) {
  PaintParentBackground(dc, client);
  const TDLXTheme& theme = TDLXTheme::Instance();
  const bool focused = Focused();
  const TDLXSkinTexture* texture = theme.Texture(TextureId());
  int frame = StateFrame();
  if (frame == kFrameNormal && (focused || default_))
    frame = texture && texture->Frames > kFrameFocused ? kFrameFocused : kFrameHot;
  if (texture && texture->Frames > kFrameDisabled) {
    DrawSkinTexture(dc, client, *texture, frame, Scale().Numerator, Scale().Denominator);
  } else {
    // High contrast: the system's button colours, a thick frame for the focused or default button.
    FillSolidRect(dc, client, GetSysColor(frame == kFramePressed ? COLOR_HIGHLIGHT : COLOR_BTNFACE));
    const bool strong = frame == kFrameFocused || frame == kFrameHot;
    FrameSolidRect(dc, client, GetSysColor(strong ? COLOR_HIGHLIGHT : COLOR_BTNTEXT), strong ? 2 : 1);
  }
  RECT text = client;
  InflateRect(&text, -ScaleValue(4), 0);
  const COLORREF color =
      frame == kFramePressed && theme.HighContrast() ? GetSysColor(COLOR_HIGHLIGHTTEXT) : TextColor();
  DrawCaption(dc, text, color, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  if (focused) {
    RECT focus = client;
    InflateRect(&focus, -ScaleValue(3), -ScaleValue(3));
    SetTextColor(dc, TextColor());
    DrawFocusRect(dc, &focus);
  }
}

TDLXCheckBox::TDLXCheckBox(TDLXCustomControl& parent, const String& caption)
    : TDLXCheckBox(parent, BS_AUTOCHECKBOX, caption) {}

TDLXCheckBox::TDLXCheckBox(TDLXCustomControl& parent, DWORD style, const String& caption)
    : TDLXCustomButton(parent, style, caption) {
  SetBounds(0, 0, 150, 19);
}

bool TDLXCheckBox::Checked() const {
  return handle_ && SendMessageW(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TDLXCheckBox::SetChecked(bool checked) {
  if (!handle_) return;
  SendMessageW(handle_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  NotifyWinEvent(EVENT_OBJECT_STATECHANGE, handle_, OBJID_CLIENT, CHILDID_SELF);
}

void TDLXCheckBox::SetWordWrap(bool wordWrap) {
  wordWrap_ = wordWrap;
  Invalidate();
}

void TDLXCheckBox::PaintBoxWithoutTexture(HDC dc, const RECT& box, bool checked) {
  FillSolidRect(dc, box, GetSysColor(COLOR_WINDOW));
  FrameSolidRect(dc, box, GetSysColor(Enabled() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  if (checked) {
    RECT mark = box;
    InflateRect(&mark, -ScaleValue(4), -ScaleValue(4));
    FillSolidRect(dc, mark, GetSysColor(Enabled() ? COLOR_HIGHLIGHT : COLOR_GRAYTEXT));
  }
}

void TDLXCheckBox::Paint(HDC dc, const RECT& client) {
  PaintParentBackground(dc, client);
  const int size = ScaleValue(16);
  const int top = client.top + (client.bottom - client.top - size) / 2;
  const RECT box{client.left, top, client.left + size, top + size};
  const bool checked = Checked();
  const TDLXSkinTexture* texture = TDLXTheme::Instance().Texture(TextureId());
  if (texture && texture->Frames >= 8)
    DrawSkinTexture(dc, box, *texture, (checked ? 4 : 0) + StateFrame(), Scale().Numerator,
                    Scale().Denominator);
  else
    PaintBoxWithoutTexture(dc, box, checked);
  RECT text = client;
  text.left = box.right + ScaleValue(6);
  const UINT flags = wordWrap_ ? DT_WORDBREAK : (DT_SINGLELINE | DT_VCENTER);
  DrawCaption(dc, text, TextColor(), flags);
  if (Focused()) {
    // The focus frame hugs the caption.
    RECT measure = text;
    HGDIOBJ old = SelectObject(dc, FontHandle());
    const String caption = Caption();
    DrawTextW(dc, W(caption), static_cast<int>(caption.size()), &measure, flags | DT_CALCRECT);
    SelectObject(dc, old);
    const int height = measure.bottom - measure.top;
    RECT focus{text.left - 2, text.top + (text.bottom - text.top - height) / 2 - 1,
               std::min<LONG>(measure.right + 2, client.right), 0};
    if (wordWrap_) focus.top = text.top;
    focus.bottom = std::min<LONG>(focus.top + height + 2, client.bottom);
    SetTextColor(dc, TextColor());
    SetBkColor(dc, BackgroundColor());
    DrawFocusRect(dc, &focus);
  }
}

TDLXRadioBox::TDLXRadioBox(TDLXCustomControl& parent, const String& caption, int groupIndex)
    : TDLXCheckBox(parent, BS_AUTORADIOBUTTON, caption), groupIndex_(groupIndex) {
  // The dialog group of the constructor used group index 0; settle it for the real one.
  UpdateGroup();
}

bool TDLXRadioBox::JoinsPreviousGroup() const {
  const auto& siblings = Parent()->Controls();
  const auto self = std::find(siblings.begin(), siblings.end(), this);
  if (self == siblings.begin() || self == siblings.end()) return false;
  const auto* previous = dynamic_cast<const TDLXRadioBox*>(*(self - 1));
  return previous && previous->groupIndex_ == groupIndex_;
}

void TDLXRadioBox::SetGroupIndex(int groupIndex) {
  groupIndex_ = groupIndex;
  UpdateGroup();
}

void TDLXRadioBox::UpdateGroup() {
  // WS_GROUP where a run of radio boxes of one group index begins, on this box and the next.
  const auto& siblings = Parent()->Controls();
  const auto self = std::find(siblings.begin(), siblings.end(), this);
  for (auto it = self; it != siblings.end() && it <= self + 1; ++it) {
    auto* radio = dynamic_cast<TDLXRadioBox*>(*it);
    if (!radio || !radio->handle_) continue;
    LONG style = GetWindowLongW(radio->handle_, GWL_STYLE);
    style = radio->JoinsPreviousGroup() ? (style & ~WS_GROUP) : (style | WS_GROUP);
    SetWindowLongW(radio->handle_, GWL_STYLE, style);
  }
  // Tab stops: the checked box of the group, or its first box while none is checked.
  TDLXRadioBox* first = nullptr;
  TDLXRadioBox* checked = nullptr;
  for (TDLXCustomControl* sibling : siblings) {
    auto* radio = dynamic_cast<TDLXRadioBox*>(sibling);
    if (!radio || radio->groupIndex_ != groupIndex_ || !radio->handle_) continue;
    if (!first) first = radio;
    if (!checked && radio->Checked()) checked = radio;
  }
  TDLXRadioBox* stop = checked ? checked : first;
  for (TDLXCustomControl* sibling : siblings) {
    auto* radio = dynamic_cast<TDLXRadioBox*>(sibling);
    if (!radio || radio->groupIndex_ != groupIndex_ || !radio->handle_) continue;
    LONG style = GetWindowLongW(radio->handle_, GWL_STYLE);
    style = radio == stop ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
    SetWindowLongW(radio->handle_, GWL_STYLE, style);
  }
}

void TDLXRadioBox::UncheckOthers() {
  for (TDLXCustomControl* sibling : Parent()->Controls()) {
    auto* radio = dynamic_cast<TDLXRadioBox*>(sibling);
    if (radio && radio != this && radio->groupIndex_ == groupIndex_ && radio->handle_ && radio->Checked())
      SendMessageW(radio->handle_, BM_SETCHECK, BST_UNCHECKED, 0);
  }
}

void TDLXRadioBox::SetChecked(bool checked) {
  TDLXCheckBox::SetChecked(checked);
  if (checked) UncheckOthers();
  UpdateGroup();
}

void TDLXRadioBox::Clicked() {
  // The system already unchecked the boxes of the dialog group; boxes of the same group index
  // elsewhere among the siblings follow here.
  if (Checked()) UncheckOthers();
  UpdateGroup();
  TDLXCheckBox::Clicked();
}

LRESULT TDLXRadioBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GETDLGCODE) {
    // A radio box must say so, for the dialog manager's arrow keys.
    return TDLXCheckBox::WindowProc(message, wParam, lParam) | DLGC_RADIOBUTTON;
  }
  return TDLXCheckBox::WindowProc(message, wParam, lParam);
}

void TDLXRadioBox::PaintBoxWithoutTexture(HDC dc, const RECT& box, bool checked) {
  HBRUSH face = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
  HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(Enabled() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
  HGDIOBJ oldBrush = SelectObject(dc, face);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  Ellipse(dc, box.left, box.top, box.right, box.bottom);
  if (checked) {
    HBRUSH dot = CreateSolidBrush(GetSysColor(Enabled() ? COLOR_HIGHLIGHT : COLOR_GRAYTEXT));
    SelectObject(dc, dot);
    const int inset = ScaleValue(4);
    Ellipse(dc, box.left + inset, box.top + inset, box.right - inset, box.bottom - inset);
    SelectObject(dc, face);
    DeleteObject(dot);
  }
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(face);
  DeleteObject(pen);
}

}  // namespace dlx
