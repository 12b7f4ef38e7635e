#include "lib/ui/edit.h"

#include <richedit.h>

#include <algorithm>
#include <utility>

#include "lib/log.h"
#include "lib/ui/form.h"
#include "lib/ui/graphics.h"
#include "lib/ui/label.h"
#include "lib/win/system_library.h"

namespace dlx {
namespace {

// MSFTEDIT.DLL registers RICHEDIT50W; loaded once from the system folder and kept.
bool LoadRichEdit() {
  static const bool loaded = LoadSystemLibrary(u"msftedit.dll") != nullptr;
  return loaded;
}

}  // namespace

TDLXCustomEdit::TDLXCustomEdit(TDLXCustomControl& parent, const wchar_t* className, DWORD style)
    : TDLXCustomControl(&parent) {
  SetBounds(0, 0, 150, 23);
  CreateHandle(className, WS_VISIBLE | WS_TABSTOP | style, 0);
  UpdateFrame();
}

TDLXCustomEdit::~TDLXCustomEdit() {
  if (brush_) DeleteObject(brush_);
}

void TDLXCustomEdit::SetReadOnly(bool readOnly) {
  SendMessageW(handle_, EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
  Invalidate();
}

bool TDLXCustomEdit::ReadOnly() const {
  return (GetWindowLongW(handle_, GWL_STYLE) & ES_READONLY) != 0;
}

COLORREF TDLXCustomEdit::ContentColor() const {
  return TDLXTheme::Instance().Color(u"EditBox.Colors.Content", COLOR_WINDOW);
}

COLORREF TDLXCustomEdit::TextColor() const {
  const TDLXTheme& theme = TDLXTheme::Instance();
  if (!Enabled()) return theme.Color(u"Common.Colors.TextDisabled", COLOR_GRAYTEXT);
  return theme.Color(u"EditBox.Colors.Text", COLOR_WINDOWTEXT);
}

HBRUSH TDLXCustomEdit::ContentBrush() {
  const COLORREF color = ContentColor();
  if (!brush_ || brushColor_ != color) {
    if (brush_) DeleteObject(brush_);
    brush_ = CreateSolidBrush(color);
    brushColor_ = color;
  }
  return brush_;
}

SIZE TDLXCustomEdit::Padding() {
  return SIZE{ScaleValue(3), ScaleValue(3)};
}

void TDLXCustomEdit::UpdateFrame() {
  if (handle_)
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TDLXCustomEdit::PaintFrame() {
  RECT window, client;
  GetWindowRect(handle_, &window);
  const LONG windowLeft = window.left, windowTop = window.top;
  GetClientRect(handle_, &client);
  MapWindowPoints(handle_, nullptr, reinterpret_cast<POINT*>(&client), 2);
  OffsetRect(&client, -window.left, -window.top);
  OffsetRect(&window, -window.left, -window.top);
  HDC dc = GetWindowDC(handle_);
  if (!dc) return;
  ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
  // The system has drawn the vertical scroll bar beside the text.
  if (GetWindowLongW(handle_, GWL_STYLE) & WS_VSCROLL) {
    SCROLLBARINFO bar{};
    bar.cbSize = sizeof bar;
    if (GetScrollBarInfo(handle_, OBJID_VSCROLL, &bar) && !(bar.rgstate[0] & STATE_SYSTEM_INVISIBLE)) {
      RECT area = bar.rcScrollBar;
      OffsetRect(&area, -windowLeft, -windowTop);
      ExcludeClipRect(dc, area.left, area.top, area.right, area.bottom);
    }
  }
  const TDLXTheme& theme = TDLXTheme::Instance();
  FillSolidRect(dc, window, ContentColor());
  const bool focused = Focused();
  const COLORREF border = focused ? theme.Color(u"EditBox.Colors.BorderFocused", COLOR_HIGHLIGHT)
                                  : theme.Color(u"EditBox.Colors.Border", COLOR_WINDOWTEXT);
  FrameSolidRect(dc, window, border, std::max(1, ScaleValue(1)));
  ReleaseDC(handle_, dc);
}

LRESULT TDLXCustomEdit::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCALCSIZE: {
      // The frame and the padding first, then the system's part (the scroll bar), so the scroll
      // bar lies inside the frame, beside the text.
      RECT* rect = reinterpret_cast<RECT*>(lParam);  // the first of NCCALCSIZE_PARAMS too
      const int border = std::max(1, ScaleValue(1));
      SIZE padding = Padding();
      InflateRect(rect, -(border + padding.cx), -(border + padding.cy));
      if (rect->bottom < rect->top) rect->bottom = rect->top;
      if (rect->right < rect->left) rect->right = rect->left;
      const LRESULT result = DefaultProc(message, wParam, lParam);
      if (rect->bottom < rect->top) rect->bottom = rect->top;
      if (rect->right < rect->left) rect->right = rect->left;
      return result;
    }
    case WM_NCPAINT: {
      // The scroll bars of a memo are non-client too: let the system draw them first.
      const LRESULT result = DefaultProc(message, wParam, lParam);
      PaintFrame();
      return result;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE: {
      const LRESULT result = DefaultProc(message, wParam, lParam);
      RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME);
      return result;
    }
    case WM_SIZE:
      UpdateFrame();
      break;
    case WM_GETDLGCODE:
      // A multi-line edit asks for every key, Tab and Enter included. A read-only one has no use
      // for them: Tab moves on and Enter presses the default button, as a keyboard user expects
      // on a license page. The arrows still scroll it.
      if (ReadOnly() && (GetWindowLongW(handle_, GWL_STYLE) & ES_MULTILINE))
        return DefaultProc(message, wParam, lParam) & ~(DLGC_WANTALLKEYS | DLGC_WANTTAB | DLGC_WANTMESSAGE);
      break;
    default:
      break;
  }
  return TDLXCustomControl::WindowProc(message, wParam, lParam);
}

bool TDLXCustomEdit::HandleNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, TextColor());
      SetBkColor(dc, ContentColor());
      result = reinterpret_cast<LRESULT>(ContentBrush());
      return true;
    }
    case WM_COMMAND:
      if (HIWORD(wParam) == EN_CHANGE) {
        if (OnChange) OnChange();
        result = 0;
        return true;
      }
      return false;
    default:
      return false;
  }
}

void TDLXCustomEdit::ColorSchemeChanged(unsigned flags) {
  const TDLXTheme& theme = TDLXTheme::Instance();
  TDLXTheme::ApplyControlTheme(handle_, theme.DarkMode() && !theme.HighContrast());
  Invalidate();
}

TDLXEditButton::TDLXEditButton(TDLXCustomControl& parent, TDLXEdit& edit) : TDLXButton(parent), edit_(edit) {}

void TDLXEditButton::SetButtonWidth(int width) {
  width_ = width;
  edit_.ApplyBounds(edit_.area_);
}

void TDLXEditButton::Paint(HDC dc, const RECT& client) {
  TDLXButton::Paint(dc, client);
}

TDLXEdit::TDLXEdit(TDLXCustomControl& parent, const String& text)
    : TDLXCustomEdit(parent, L"EDIT", ES_AUTOHSCROLL | ES_LEFT) {
  SetText(text);
  area_ = PixelBounds();
}

TDLXEditButton& TDLXEdit::AddButton(const String& caption, int width) {
  TDLXEditButton& button = Parent()->Add<TDLXEditButton>(*this);
  button.SetCaption(caption);
  button.width_ = width;
  // In the tab order right after the edit and its earlier buttons.
  HWND after = buttons_.empty() ? handle_ : buttons_.back()->Handle();
  SetWindowPos(button.Handle(), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  // The button belongs to the edit's dialog group: arrows do not lead out of it.
  buttons_.push_back(&button);
  ApplyBounds(area_);
  return button;
}

void TDLXEdit::SetVisible(bool visible) {
  TDLXCustomEdit::SetVisible(visible);
  for (TDLXEditButton* button : buttons_) button->SetVisible(visible);
}

void TDLXEdit::SetEnabled(bool enabled) {
  TDLXCustomEdit::SetEnabled(enabled);
  for (TDLXEditButton* button : buttons_) button->SetEnabled(enabled);
}

SIZE TDLXEdit::Padding() {
  // The text is centred vertically in the box.
  SIZE padding{ScaleValue(3), 0};
  HDC dc = GetDC(handle_);
  if (dc) {
    HGDIOBJ old = SelectObject(dc, FontHandle());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(handle_, dc);
    RECT window;
    GetWindowRect(handle_, &window);
    const int inner = (window.bottom - window.top) - 2 * std::max(1, ScaleValue(1));
    padding.cy = std::max<int>(0, (inner - metrics.tmHeight) / 2);
  }
  return padding;
}

void TDLXEdit::ApplyBounds(const RECT& pixels) {
  area_ = pixels;
  RECT edit = pixels;
  const int gap = ScaleValue(2);
  for (auto it = buttons_.rbegin(); it != buttons_.rend(); ++it) {
    TDLXEditButton* button = *it;
    if (!button->Handle()) continue;
    const int width = ScaleValue(button->width_);
    const RECT place{edit.right - width, edit.top, edit.right, edit.bottom};
    SetWindowPos(button->Handle(), nullptr, place.left, place.top, width, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    edit.right = place.left - gap;
  }
  TDLXCustomEdit::ApplyBounds(edit);
  UpdateFrame();
}

TDLXMemo::TDLXMemo(TDLXCustomControl& parent, const String& text)
    : TDLXMemo(parent, L"EDIT", ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL) {
  SetText(text);
}

TDLXMemo::TDLXMemo(TDLXCustomControl& parent, const wchar_t* className, DWORD style)
    : TDLXCustomEdit(parent, className, style) {
  SetBounds(0, 0, 200, 100);
  const TDLXTheme& theme = TDLXTheme::Instance();
  TDLXTheme::ApplyControlTheme(handle_, theme.DarkMode() && !theme.HighContrast());
}

TDLXRichViewer::TDLXRichViewer(TDLXCustomControl& parent)
    : TDLXMemo(parent, LoadRichEdit() ? L"RICHEDIT50W" : L"EDIT",
               ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_DISABLENOSCROLL | WS_VSCROLL) {
  wchar_t className[32] = {};
  GetClassNameW(handle_, className, 32);
  rich_ = lstrcmpiW(className, L"RICHEDIT50W") == 0;
  if (rich_) SendMessageW(handle_, EM_SETEVENTMASK, 0, ENM_CHANGE);
  ApplyColors();
  ApplyZoom();
}

namespace {

struct TStreamInContext {
  TDLXStream* Stream;
};

DWORD CALLBACK StreamIn(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* read) {
  auto* context = reinterpret_cast<TStreamInContext*>(cookie);
  *read = static_cast<LONG>(context->Stream->Read(buffer, static_cast<size_t>(std::max<LONG>(0, count))));
  return 0;
}

}  // namespace

void TDLXRichViewer::LoadFromStream(TDLXStream& stream, bool rtf) {
  if (!rich_) {
    // Without the rich edit, the text as UTF-8.
    std::string bytes(static_cast<size_t>(std::max<int64_t>(0, stream.GetSize() - stream.GetPosition())),
                      '\0');
    bytes.resize(stream.Read(bytes.data(), bytes.size()));
    SetText(FromUtf8(bytes));
    return;
  }
  TStreamInContext context{&stream};
  EDITSTREAM editStream{};
  editStream.dwCookie = reinterpret_cast<DWORD_PTR>(&context);
  editStream.pfnCallback = &StreamIn;
  SendMessageW(handle_, EM_STREAMIN, rtf ? SF_RTF : SF_TEXT, reinterpret_cast<LPARAM>(&editStream));
  FindLinks();
  ApplyColors();
  ApplyZoom();
}

void TDLXRichViewer::SetPlainText(const String& text) {
  SetText(text);
  if (!rich_) return;
  FindLinks();
  ApplyColors();
  ApplyZoom();
}

void TDLXRichViewer::SetZoom(int numerator, int denominator) {
  if (numerator <= 0 || denominator <= 0) return;
  zoomNumerator_ = numerator;
  zoomDenominator_ = denominator;
  ApplyZoom();
}

void TDLXRichViewer::ApplyZoom() {
  if (!rich_) return;
  // The rich edit already draws at the system DPI: the zoom makes up the difference to the
  // control's scale (another monitor), times the viewer's own zoom. It takes a ratio with both
  // terms below 64.
  int numerator = Scale().Numerator * 96 * zoomNumerator_;
  int denominator = Scale().Denominator * TDLXTheme::SystemDpi() * zoomDenominator_;
  const auto gcd = [](int a, int b) {
    while (b) a = std::exchange(b, a % b);
    return a;
  };
  const int common = gcd(numerator, denominator);
  numerator /= common;
  denominator /= common;
  if (numerator == denominator) numerator = denominator = 0;  // 0/0: no zoom
  while (numerator >= 64 || denominator >= 64) {
    numerator = (numerator + 1) / 2;
    denominator = (denominator + 1) / 2;
  }
  SendMessageW(handle_, EM_SETZOOM, static_cast<WPARAM>(numerator), static_cast<LPARAM>(denominator));
}

void TDLXRichViewer::FindLinks() {
  links_.clear();
  if (!rich_) return;
  // The text as the rich edit counts characters (paragraphs end in one CR).
  GETTEXTLENGTHEX lengthQuery{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const LRESULT length = SendMessageW(handle_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0);
  if (length <= 0) return;
  String text(static_cast<size_t>(length) + 1, u'\0');
  GETTEXTEX query{static_cast<DWORD>((length + 1) * sizeof(wchar_t)), GT_DEFAULT, 1200, nullptr, nullptr};
  const LRESULT copied = SendMessageW(handle_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&query),
                                      reinterpret_cast<LPARAM>(W(text)));
  text.resize(static_cast<size_t>(std::max<LRESULT>(0, copied)));
  const auto isBreak = [](Char c) { return c <= u' ' || c == u'<' || c == u'>' || c == u'"'; };
  size_t i = 0;
  while (i < text.size()) {
    const bool wordStart = i == 0 || isBreak(text[i - 1]) || text[i - 1] == u'(';
    const StringView rest = StringView(text).substr(i);
    if (!wordStart ||
        !(rest.starts_with(u"http://") || rest.starts_with(u"https://") || rest.starts_with(u"www."))) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && !isBreak(text[end])) ++end;
    // Punctuation after an address ends the sentence, not the address.
    while (end > i && StringView(u".,;:!?)'").find(text[end - 1]) != StringView::npos) --end;
    String target = text.substr(i, end - i);
    if (target.starts_with(u"www.")) target = u"http://" + target;
    links_.push_back(TLink{static_cast<LONG>(i), static_cast<LONG>(end), std::move(target)});
    i = end;
  }
}

const TDLXRichViewer::TLink* TDLXRichViewer::LinkAt(LONG position) const {
  for (const TLink& link : links_)
    if (position >= link.First && position < link.End) return &link;
  return nullptr;
}

const TDLXRichViewer::TLink* TDLXRichViewer::LinkAtPoint(POINT client) const {
  if (!rich_ || links_.empty()) return nullptr;
  POINTL point{client.x, client.y};
  const LONG position =
      static_cast<LONG>(SendMessageW(handle_, EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&point)));
  const TLink* link = LinkAt(position);
  if (!link) return nullptr;
  // EM_CHARFROMPOS answers the nearest character: the point must lie on it.
  POINTL start{}, next{};
  SendMessageW(handle_, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&start), position);
  SendMessageW(handle_, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&next), position + 1);
  if (client.x < start.x - 1 || (next.y == start.y && client.x > next.x + 1)) return nullptr;
  return link;
}

LRESULT TDLXRichViewer::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR: {
      POINT point;
      GetCursorPos(&point);
      ScreenToClient(handle_, &point);
      if (LOWORD(lParam) == HTCLIENT && LinkAtPoint(point)) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
        return TRUE;
      }
      break;
    }
    case WM_LBUTTONUP: {
      const LRESULT result = TDLXMemo::WindowProc(message, wParam, lParam);
      CHARRANGE selection{};
      SendMessageW(handle_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
      // A click, not the end of a selection.
      if (selection.cpMin == selection.cpMax) {
        if (const TLink* link =
                LinkAtPoint(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))})) {
          const String target = link->Target;
          if (OnLinkClick)
            OnLinkClick(target);
          else
            OpenLink(target);
        }
      }
      return result;
    }
    default:
      break;
  }
  return TDLXMemo::WindowProc(message, wParam, lParam);
}

void TDLXRichViewer::ApplyColors() {
  if (!rich_) return;
  SendMessageW(handle_, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ContentColor()));
  // The document's text takes the skin's text colour, so a license stays readable in dark mode;
  // links take the skin's link colour.
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR;
  format.crTextColor = TextColor();
  SendMessageW(handle_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  if (links_.empty()) return;
  CHARRANGE kept{};
  SendMessageW(handle_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&kept));
  format.dwMask = CFM_COLOR | CFM_UNDERLINE;
  format.dwEffects = CFE_UNDERLINE;
  format.crTextColor = TDLXTheme::Instance().Color(u"Labels.Colors.TextHyperlink", COLOR_HOTLIGHT);
  for (const TLink& link : links_) {
    CHARRANGE range{link.First, link.End};
    SendMessageW(handle_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    SendMessageW(handle_, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  }
  SendMessageW(handle_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&kept));
}

void TDLXRichViewer::ColorSchemeChanged(unsigned flags) {
  ApplyColors();
  TDLXMemo::ColorSchemeChanged(flags);
}

void TDLXRichViewer::ScaleChanged() {
  TDLXMemo::ScaleChanged();
  ApplyZoom();
}

}  // namespace dlx
