#include "lib/markup.h"

#include <array>
#include <regex>

namespace dlx {
namespace {

enum class TTag { Bold, Italic, StrikeOut, Underline, Color, BackColor, Url };

struct TTagName {
  const char16_t* Name;
  TTag Tag;
  bool HasValue;  // COLOR and BACKCOLOR need one; URL may have one
};

constexpr std::array<TTagName, 7> kTags{{
    {u"B", TTag::Bold, false},
    {u"I", TTag::Italic, false},
    {u"S", TTag::StrikeOut, false},
    {u"U", TTag::Underline, false},
    {u"COLOR", TTag::Color, true},
    {u"BACKCOLOR", TTag::BackColor, true},
    {u"URL", TTag::Url, false},
}};

struct TNamedColor {
  const char16_t* Name;
  uint32_t Argb;
};

constexpr std::array<TNamedColor, 11> kColorNames{{
    {u"black", 0xFF000000},
    {u"white", 0xFFFFFFFF},
    {u"gray", 0xFF808080},
    {u"silver", 0xFFC0C0C0},
    {u"red", 0xFFFF0000},
    {u"green", 0xFF008000},
    {u"blue", 0xFF0000FF},
    {u"yellow", 0xFFFFFF00},
    {u"orange", 0xFFFFA500},
    {u"navy", 0xFF000080},
    {u"maroon", 0xFF800000},
}};

struct TOpenTag {
  TTag Tag;
  TDLXMarkupStyle Before;         // the style to return to when the tag closes
  size_t TextStart;               // for [URL] without a target: where its text begins
  std::optional<uint32_t> Color;  // what COLOR or BACKCOLOR set
  String Link;                    // what URL set
};

bool HexValue(StringView digits, uint32_t& value) {
  value = 0;
  if (digits.empty()) return false;
  for (Char c : digits) {
    int digit;
    if (c >= u'0' && c <= u'9')
      digit = c - u'0';
    else if (c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else
      return false;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  return true;
}

class TParser {
 public:
  std::vector<TDLXMarkupRun> Parse(StringView caption) {
    size_t i = 0;
    while (i < caption.size()) {
      if (caption[i] == u'[') {
        const size_t close = caption.find(u']', i + 1);
        if (close != StringView::npos && Tag(caption.substr(i + 1, close - i - 1))) {
          i = close + 1;
          continue;
        }
      }
      text_ += caption[i];
      ++i;
    }
    Flush();
    // Tags left open end with the caption.
    while (!open_.empty()) Close(open_.back().Tag);
    // A [URL]target[/URL] gets its link only at its close, so it can end up styled like the run
    // before it ("[URL=x]a[/URL][URL]x[/URL]"): neighbours are joined once the caption is done,
    // while no open tag counts runs any more.
    JoinEqualNeighbours();
    return std::move(runs_);
  }

 private:
  bool Tag(StringView inside) {
    const bool closing = !inside.empty() && inside.front() == u'/';
    if (closing) inside.remove_prefix(1);
    const size_t equals = inside.find(u'=');
    const StringView name = inside.substr(0, equals);
    const TTagName* tag = nullptr;
    for (const TTagName& known : kTags)
      if (SameTextAscii(name, known.Name)) tag = &known;
    if (!tag) return false;
    if (closing) return equals == StringView::npos && Close(tag->Tag);
    TDLXMarkupStyle next = style_;
    const StringView value = equals == StringView::npos ? StringView() : inside.substr(equals + 1);
    if (tag->HasValue && equals == StringView::npos) return false;
    if (!tag->HasValue && tag->Tag != TTag::Url && equals != StringView::npos) return false;
    switch (tag->Tag) {
      case TTag::Bold:
        next.Bold = true;
        break;
      case TTag::Italic:
        next.Italic = true;
        break;
      case TTag::StrikeOut:
        next.StrikeOut = true;
        break;
      case TTag::Underline:
        next.Underline = true;
        break;
      case TTag::Color:
      case TTag::BackColor: {
        const std::optional<uint32_t> color = ParseMarkupColor(value);
        if (!color) return false;
        (tag->Tag == TTag::Color ? next.Color : next.BackColor) = color;
        break;
      }
      case TTag::Url:
        next.Link = String(value);
        break;
    }
    Flush();
    if (tag->Tag == TTag::Url && next.Link.empty()) next.Link = u"\x01";  // filled in at the close
    open_.push_back(TOpenTag{tag->Tag, style_, runs_.size(),
                             tag->Tag == TTag::Color ? next.Color : next.BackColor, next.Link});
    style_ = std::move(next);
    return true;
  }

  bool Close(TTag tag) {
    for (size_t k = open_.size(); k-- > 0;) {
      if (open_[k].Tag != tag) continue;
      Flush();
      if (tag == TTag::Url && open_[k].Link == u"\x01") {
        // [URL]target[/URL]: the text is the target.
        String target;
        for (size_t r = open_[k].TextStart; r < runs_.size(); ++r) target += runs_[r].Text;
        for (size_t r = open_[k].TextStart; r < runs_.size(); ++r)
          if (runs_[r].Style.Link == u"\x01") runs_[r].Style.Link = target;
      }
      // Tags opened inside it stay open: their styles go on from the outer style, and closing
      // them later returns to a style without the closed tag.
      TDLXMarkupStyle restored = open_[k].Before;
      for (size_t inner = k + 1; inner < open_.size(); ++inner) {
        open_[inner].Before = restored;
        Apply(open_[inner], restored);
      }
      open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(k));
      style_ = std::move(restored);
      return true;
    }
    return false;
  }

  // Re-applies what an inner tag set on top of a new outer style.
  void Apply(const TOpenTag& open, TDLXMarkupStyle& style) {
    switch (open.Tag) {
      case TTag::Bold:
        style.Bold = true;
        break;
      case TTag::Italic:
        style.Italic = true;
        break;
      case TTag::StrikeOut:
        style.StrikeOut = true;
        break;
      case TTag::Underline:
        style.Underline = true;
        break;
      case TTag::Color:
        style.Color = open.Color;
        break;
      case TTag::BackColor:
        style.BackColor = open.Color;
        break;
      case TTag::Url:
        style.Link = open.Link;
        break;
    }
  }

  // Ends the current text: plain text is split at e-mail addresses.
  void Flush() {
    if (text_.empty()) return;
    if (!style_.Link.empty()) {
      Add(std::move(text_), style_);
      text_.clear();
      return;
    }
    size_t start = 0;  // start of text not yet added
    size_t i = 0;
    while (i < text_.size()) {
      while (i < text_.size() && IsBlank(text_[i])) ++i;
      size_t end = i;
      while (end < text_.size() && !IsBlank(text_[end])) ++end;
      StringView word(text_.data() + i, end - i);
      // Punctuation around an address is not part of it.
      size_t lead = 0;
      while (lead < word.size() && (word[lead] == u'(' || word[lead] == u'<' || word[lead] == u'"')) ++lead;
      word.remove_prefix(lead);
      while (!word.empty() && StringView(u".,;:!?)>\"").find(word.back()) != StringView::npos)
        word.remove_suffix(1);
      if (word.find(u'@') != StringView::npos && IsValidEmailAddress(word)) {
        const size_t at = i + lead;
        if (at > start) Add(text_.substr(start, at - start), style_);
        TDLXMarkupStyle link = style_;
        link.Link = u"mailto:" + String(word);
        Add(String(word), link);
        start = at + word.size();
      }
      i = end;
    }
    if (start < text_.size()) Add(text_.substr(start), style_);
    text_.clear();
  }

  static bool IsBlank(Char c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

  void Add(String text, const TDLXMarkupStyle& style) {
    if (text.empty()) return;
    if (!runs_.empty() && runs_.back().Style == style)
      runs_.back().Text += text;
    else
      runs_.push_back(TDLXMarkupRun{std::move(text), style});
  }

  void JoinEqualNeighbours() {
    if (runs_.empty()) return;
    size_t kept = 0;
    for (size_t r = 1; r < runs_.size(); ++r) {
      if (runs_[r].Style == runs_[kept].Style)
        runs_[kept].Text += runs_[r].Text;
      else if (++kept != r)
        runs_[kept] = std::move(runs_[r]);
    }
    runs_.resize(kept + 1);
  }

  std::vector<TDLXMarkupRun> runs_;
  std::vector<TOpenTag> open_;
  TDLXMarkupStyle style_;
  String text_;
};

}  // namespace

std::optional<uint32_t> ParseMarkupColor(StringView value) {
  uint32_t v = 0;
  if (value.size() == 7 && value[0] == u'#' && HexValue(value.substr(1), v)) return 0xFF000000u | v;
  if (value.size() == 4 && value[0] == u'#' && HexValue(value.substr(1), v)) {
    const uint32_t r = (v >> 8) & 0xF, g = (v >> 4) & 0xF, b = v & 0xF;
    return 0xFF000000u | (r * 17) << 16 | (g * 17) << 8 | (b * 17);
  }
  if (value.size() == 9 && (value[0] == u'x' || value[0] == u'X') && HexValue(value.substr(1), v)) return v;
  StringView name = value;
  if (name.size() > 3 && SameTextAscii(name.substr(0, 3), u"cla")) name.remove_prefix(3);
  for (const TNamedColor& color : kColorNames)
    if (SameTextAscii(name, color.Name)) return color.Argb;
  return std::nullopt;
}

bool IsValidEmailAddress(StringView word) {
  if (word.empty() || word.size() > 254) return false;
  std::string ascii;
  ascii.reserve(word.size());
  for (Char c : word) {
    if (c >= 0x80) return false;
    ascii += static_cast<char>(c);
  }
  // The pattern of the HTML standard for a valid e-mail address.
  static const std::regex pattern(
      "[a-zA-Z0-9.!#$%&'*+/=?^_`{|}~-]+@[a-zA-Z0-9](?:[a-zA-Z0-9-]{0,61}[a-zA-Z0-9])?"
      "(?:\\.[a-zA-Z0-9](?:[a-zA-Z0-9-]{0,61}[a-zA-Z0-9])?)*");
  return std::regex_match(ascii, pattern);
}

std::vector<TDLXMarkupRun> ParseMarkup(StringView caption) {
  return TParser().Parse(caption);
}

String MarkupPlainText(const std::vector<TDLXMarkupRun>& runs) {
  String text;
  for (const TDLXMarkupRun& run : runs) text += run.Text;
  return text;
}

}  // namespace dlx
