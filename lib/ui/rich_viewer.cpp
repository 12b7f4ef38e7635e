#include "lib/ui/rich_viewer.h"

#include <richedit.h>

#include <algorithm>
#include <utility>

#include "lib/ui/label.h"
#include "lib/ui/theme.h"
#include "lib/win/system_library.h"

namespace dlx {
namespace {

// MSFTEDIT.DLL registers RICHEDIT50W; loaded once from the system folder and kept.
bool LoadRichEdit() {
  static const bool loaded = LoadSystemLibrary(u"msftedit.dll") != nullptr;
  return loaded;
}

struct TStreamInContext {
  TDLXStream* Stream;
};

DWORD CALLBACK StreamIn(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* read) {
  auto* context = reinterpret_cast<TStreamInContext*>(cookie);
  *read = static_cast<LONG>(context->Stream->Read(buffer, static_cast<size_t>(std::max<LONG>(0, count))));
  return 0;
}

CHARFORMAT2W FormatOf(HWND edit, LONG first, LONG end) {
  CHARRANGE range{first, end};
  SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  SendMessageW(edit, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
  return format;
}

void SetColor(HWND edit, LONG first, LONG end, COLORREF color, DWORD effects) {
  CHARRANGE range{first, end};
  SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR | (effects & CFE_UNDERLINE ? CFM_UNDERLINE : 0);
  format.dwEffects = effects;
  format.crTextColor = color;
  SendMessageW(edit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

// Selecting text to read or set its format would repaint and move the caret: the walk keeps the
// user's selection and draws once at the end.
class TQuietSelection {
 public:
  explicit TQuietSelection(HWND edit) : edit_(edit) {
    SendMessageW(edit_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(edit_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&kept_));
  }
  ~TQuietSelection() {
    SendMessageW(edit_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&kept_));
    SendMessageW(edit_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(edit_, nullptr, TRUE);
  }
  TQuietSelection(const TQuietSelection&) = delete;
  TQuietSelection& operator=(const TQuietSelection&) = delete;

 private:
  HWND edit_;
  CHARRANGE kept_{};
};

}  // namespace

TDLXRichViewer::TDLXRichViewer(TDLXCustomControl& parent)
    : TDLXMemo(parent, LoadRichEdit() ? L"RICHEDIT50W" : L"EDIT",
               ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_DISABLENOSCROLL | WS_VSCROLL) {
  wchar_t className[32] = {};
  GetClassNameW(handle_, className, 32);
  rich_ = lstrcmpiW(className, L"RICHEDIT50W") == 0;
  if (rich_) {
    SendMessageW(handle_, EM_SETEVENTMASK, 0, ENM_CHANGE | ENM_LINK);
    // Mail addresses need the newer flags; a rich edit without them takes TRUE (web addresses).
    if (SendMessageW(handle_, EM_AUTOURLDETECT, AURL_ENABLEURL | AURL_ENABLEEMAILADDR, 0) != 0)
      SendMessageW(handle_, EM_AUTOURLDETECT, TRUE, 0);
  }
  ApplyColors();
  ApplyZoom();
}

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
  ReadRuns();
  ApplyColors();
  ApplyZoom();
}

void TDLXRichViewer::SetPlainText(const String& text) {
  SetText(text);
  if (!rich_) return;
  ReadRuns();
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

String TDLXRichViewer::TextRange(LONG first, LONG end) const {
  if (end <= first) return String();
  String text(static_cast<size_t>(end - first) + 1, u'\0');
  TEXTRANGEW range{{first, end}, W(text)};
  const LRESULT copied = SendMessageW(handle_, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  text.resize(static_cast<size_t>(std::clamp<LRESULT>(copied, 0, end - first)));
  return text;
}

String TDLXRichViewer::LinkTarget(const String& text) {
  // A hyperlink field shows its friendly text; the address is in the field's instruction, which
  // the rich edit keeps as hidden text of the link.
  String upper = text;
  std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
  const size_t field = upper.find(u"HYPERLINK");
  if (field != String::npos) {
    const size_t open = text.find(u'"', field);
    const size_t close = open == String::npos ? String::npos : text.find(u'"', open + 1);
    if (close != String::npos && close > open + 1) return text.substr(open + 1, close - open - 1);
  }
  const String target = TrimControl(text);
  if (SameTextAscii(StringView(target).substr(0, 4), u"www.")) return u"http://" + target;
  if (target.find(u':') == String::npos && target.find(u'@') != String::npos) return u"mailto:" + target;
  return target;
}

void TDLXRichViewer::ReadRuns() {
  links_.clear();
  plainRuns_.clear();
  linkRuns_.clear();
  if (!rich_) return;
  GETTEXTLENGTHEX lengthQuery{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const LONG length =
      static_cast<LONG>(SendMessageW(handle_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0));
  if (length <= 0) return;
  TQuietSelection quiet(handle_);
  constexpr DWORD kRunMask = CFM_COLOR | CFM_LINK;
  // The selection's format answers a mask bit only where the whole selection agrees: each run's end
  // is found by doubling the probe, then halving the step (few runs in a license, many characters).
  const auto uniform = [&](LONG first, LONG end) {
    return (FormatOf(handle_, first, end).dwMask & kRunMask) == kRunMask;
  };
  LONG first = 0;
  while (first < length) {
    const CHARFORMAT2W format = FormatOf(handle_, first, first + 1);
    LONG good = first + 1;
    LONG step = 1;
    while (good < length && uniform(first, std::min(length, good + step))) {
      good = std::min(length, good + step);
      step *= 2;
    }
    LONG bad = std::min(length, good + step);
    while (good < length && bad - good > 1) {
      const LONG middle = good + (bad - good) / 2;
      if (uniform(first, middle))
        good = middle;
      else
        bad = middle;
    }
    const bool link = (format.dwEffects & CFE_LINK) != 0;
    if (format.dwEffects & CFE_AUTOCOLOR) (link ? linkRuns_ : plainRuns_).push_back(TRun{first, good});
    if (link) {
      // A field's hidden instruction and its text can be runs of their own: one link.
      if (!links_.empty() && links_.back().End == first)
        links_.back().End = good;
      else
        links_.push_back(TLink{first, good, String()});
    }
    first = good;
  }
  for (TLink& link : links_) link.Target = LinkTarget(TextRange(link.First, link.End));
}

bool TDLXRichViewer::HandleNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message != WM_NOTIFY || reinterpret_cast<NMHDR*>(lParam)->code != EN_LINK)
    return TDLXMemo::HandleNotify(message, wParam, lParam, result);
  const auto* notice = reinterpret_cast<ENLINK*>(lParam);
  result = 0;  // the rich edit goes on with the message (the hand cursor, the selection)
  if (notice->msg != WM_LBUTTONUP) return true;
  // A click, not the end of a selection.
  CHARRANGE selection{};
  SendMessageW(handle_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  if (selection.cpMin != selection.cpMax) return true;
  String target;
  for (const TLink& link : links_)
    if (notice->chrg.cpMin < link.End && notice->chrg.cpMax > link.First) target = link.Target;
  if (target.empty()) target = LinkTarget(TextRange(notice->chrg.cpMin, notice->chrg.cpMax));
  if (target.empty()) return true;
  if (OnLinkClick)
    OnLinkClick(target);
  else
    OpenLink(target);
  return true;
}

void TDLXRichViewer::ApplyColors() {
  if (!rich_) return;
  SendMessageW(handle_, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(ContentColor()));
  if (plainRuns_.empty() && linkRuns_.empty()) return;
  TQuietSelection quiet(handle_);
  for (const TRun& run : plainRuns_) SetColor(handle_, run.First, run.End, TextColor(), 0);
  const COLORREF linkColor = TDLXTheme::Instance().Color(u"Labels.Colors.TextHyperlink", COLOR_HOTLIGHT);
  for (const TRun& run : linkRuns_) SetColor(handle_, run.First, run.End, linkColor, CFE_UNDERLINE);
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
