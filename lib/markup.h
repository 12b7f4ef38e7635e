// The bracket markup of formatted labels, turned into runs of uniformly styled text.
//
//   [B]bold[/B] [I]italic[/I] [S]struck out[/S] [U]underlined[/U]
//   [COLOR=#D96300]coloured[/COLOR] [BACKCOLOR=claYellow]marked[/BACKCOLOR]
//   [URL=https://example.com]a link[/URL], or [URL]example.com[/URL]
//
// Tag names ignore case. Tags nest; a closing tag closes the innermost open tag of its name, and
// tags still open at the end close there. Anything in brackets that is not one of these tags (a
// closing tag that closes nothing, an unknown name, a colour that cannot be read) stays text. A
// word of plain text that is an e-mail address by the HTML standard's rule becomes a link to
// "mailto:" and the address. Portable: the Windows label draws the runs, the host tests and fuzzes
// the parser.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "lib/dlx_string.h"

namespace dlx {

struct TDLXMarkupStyle {
  bool Bold = false;
  bool Italic = false;
  bool StrikeOut = false;
  bool Underline = false;
  std::optional<uint32_t> Color;      // ARGB
  std::optional<uint32_t> BackColor;  // ARGB
  String Link;                        // the link target; empty outside links
  bool operator==(const TDLXMarkupStyle&) const = default;
};

struct TDLXMarkupRun {
  String Text;
  TDLXMarkupStyle Style;
};

// The runs of a caption, in order; adjacent runs differ in style, no run is empty.
std::vector<TDLXMarkupRun> ParseMarkup(StringView caption);
// The caption without markup: what a screen reader says.
String MarkupPlainText(const std::vector<TDLXMarkupRun>& runs);

// Whether a word is a valid e-mail address by the HTML standard's pattern (at most 254
// characters, ASCII only).
bool IsValidEmailAddress(StringView word);
// A colour value of the markup: "#RRGGBB", "#RGB", "xAARRGGBB", or a name ("red", "claRed").
std::optional<uint32_t> ParseMarkupColor(StringView value);

}  // namespace dlx
