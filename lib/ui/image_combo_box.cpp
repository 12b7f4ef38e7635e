#include "lib/ui/image_combo_box.h"

#include <oleacc.h>

#include "lib/ui/graphics.h"

namespace dlx {

TDLXImageComboBox::TDLXImageComboBox(TDLXCustomControl& parent) : TDLXCustomControl(&parent) {
  SetBounds(0, 0, 200, 24);
  CreateHandle(L"COMBOBOX",
               WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
               0);
  SetOwnsPainting(true);
  ScaleChanged();
}

void TDLXImageComboBox::SetImages(const TDLXImageList* images) {
  images_ = images;
  Invalidate();
}

int TDLXImageComboBox::InsertItem(int position, const TDLXImageComboItem& item) {
  position = std::clamp(position, 0, Count());
  items_.insert(items_.begin() + position, item);
  // The system list holds the texts (for type-ahead and screen readers); the rest lives here.
  const LRESULT at = SendMessageW(handle_, CB_INSERTSTRING, static_cast<WPARAM>(position),
                                  reinterpret_cast<LPARAM>(W(item.Text)));
  return at >= 0 ? static_cast<int>(at) : position;
}

void TDLXImageComboBox::Clear() {
  items_.clear();
  SendMessageW(handle_, CB_RESETCONTENT, 0, 0);
}

int TDLXImageComboBox::FindByTag(int tag) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<size_t>(i)].Tag == tag) return i;
  return -1;
}

int TDLXImageComboBox::ItemIndex() const {
  const LRESULT index = SendMessageW(handle_, CB_GETCURSEL, 0, 0);
  return index == CB_ERR ? -1 : static_cast<int>(index);
}

void TDLXImageComboBox::SetItemIndex(int index) {
  SendMessageW(handle_, CB_SETCURSEL,
               index >= 0 && index < Count() ? static_cast<WPARAM>(index) : static_cast<WPARAM>(-1), 0);
  Invalidate();
}

void TDLXImageComboBox::ScaleChanged() {
  SendMessageW(handle_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), ItemHeight());
  SendMessageW(handle_, CB_SETITEMHEIGHT, 0, ItemHeight());
}

long TDLXImageComboBox::AccessibleRole() {
  return ROLE_SYSTEM_COMBOBOX;
}

String TDLXImageComboBox::AccessibleValue() {
  const int index = ItemIndex();
  return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)].Text : String();
}

void TDLXImageComboBox::DrawItem(HDC dc, const RECT& rect, int index, bool selected) {
  const TDLXTheme& theme = TDLXTheme::Instance();
  const COLORREF background =
      selected ? (theme.HighContrast() ? GetSysColor(COLOR_HIGHLIGHT)
                                       : theme.Color(u"Popup.Colors.Selection", COLOR_HIGHLIGHT))
               : theme.Color(u"EditBox.Colors.Content", COLOR_WINDOW);
  FillSolidRect(dc, rect, background);
  if (index < 0 || index >= Count()) return;
  const TDLXImageComboItem& item = items_[static_cast<size_t>(index)];
  const int size = ScaleValue(images_ ? images_->Width() : 16);
  int x = rect.left + ScaleValue(4);
  if (images_ &&
      images_->Draw(dc, item.ImageIndex, x, rect.top + (rect.bottom - rect.top - size) / 2, size, size))
    x += size + ScaleValue(6);
  else if (images_)
    x += size + ScaleValue(6);  // texts stay in one column
  RECT text{x, rect.top, rect.right - ScaleValue(2), rect.bottom};
  HGDIOBJ old = SelectObject(dc, FontHandle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, selected && theme.HighContrast() ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                                    : theme.Color(u"EditBox.Colors.Text", COLOR_WINDOWTEXT));
  DrawTextW(dc, W(item.Text), static_cast<int>(item.Text.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, old);
}

void TDLXImageComboBox::Paint(HDC dc, const RECT& client) {
  const TDLXTheme& theme = TDLXTheme::Instance();
  const bool focused = Focused();
  FillSolidRect(dc, client, theme.Color(u"EditBox.Colors.Content", COLOR_WINDOW));
  const COLORREF border = focused || hot_ ? theme.Color(u"EditBox.Colors.BorderFocused", COLOR_HIGHLIGHT)
                                          : theme.Color(u"EditBox.Colors.Border", COLOR_WINDOWTEXT);
  FrameSolidRect(dc, client, border, std::max(1, ScaleValue(1)));
  const int arrowWidth = ScaleValue(20);
  RECT item = client;
  InflateRect(&item, -std::max(1, ScaleValue(1)) - ScaleValue(1),
              -std::max(1, ScaleValue(1)) - ScaleValue(1));
  item.right = client.right - arrowWidth;
  DrawItem(dc, item, ItemIndex(), false);
  if (focused) {
    SetTextColor(dc, theme.Color(u"EditBox.Colors.Text", COLOR_WINDOWTEXT));
    DrawFocusRect(dc, &item);
  }
  // The drop-down arrow: a small chevron.
  const int cx = client.right - arrowWidth / 2, cy = (client.top + client.bottom) / 2;
  const int a = ScaleValue(4);
  HPEN pen = CreatePen(PS_SOLID, std::max(1, ScaleValue(1)),
                       Enabled() ? theme.Color(u"EditBox.Colors.Text", COLOR_WINDOWTEXT)
                                 : theme.Color(u"Common.Colors.TextDisabled", COLOR_GRAYTEXT));
  HGDIOBJ old = SelectObject(dc, pen);
  const POINT chevron[3] = {{cx - a, cy - a / 2}, {cx, cy + a / 2}, {cx + a, cy - a / 2}};
  Polyline(dc, chevron, 3);
  SelectObject(dc, old);
  DeleteObject(pen);
}

bool TDLXImageComboBox::HandleNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_MEASUREITEM:
      reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = static_cast<UINT>(ItemHeight());
      result = TRUE;
      return true;
    case WM_DRAWITEM: {
      const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (draw->itemState & ODS_COMBOBOXEDIT) {
        Invalidate();
      } else {
        TDLXBufferedPaint buffer(draw->hDC, draw->rcItem);
        DrawItem(buffer.Dc(), draw->rcItem, static_cast<int>(draw->itemID),
                 (draw->itemState & ODS_SELECTED) != 0);
      }
      result = TRUE;
      return true;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == CBN_SELCHANGE) {
        Invalidate();
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, handle_, OBJID_CLIENT, CHILDID_SELF);
        if (OnChange) OnChange();
        result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

LRESULT TDLXImageComboBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLORLISTBOX: {
      // The drop-down list's background.
      const COLORREF color = TDLXTheme::Instance().Color(u"EditBox.Colors.Content", COLOR_WINDOW);
      if (listBrush_) DeleteObject(listBrush_);
      listBrush_ = CreateSolidBrush(color);
      return reinterpret_cast<LRESULT>(listBrush_);
    }
    case WM_NCDESTROY:
      if (listBrush_) DeleteObject(listBrush_);
      listBrush_ = nullptr;
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
    case CB_SETCURSEL:
    case WM_KEYDOWN:
    case WM_CHAR: {
      const LRESULT result = TDLXCustomControl::WindowProc(message, wParam, lParam);
      Invalidate();
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

}  // namespace dlx
