#include "lib/markup.h"

#include <gtest/gtest.h>

#include <string>

using dlx::String;
using dlx::TDLXMarkupRun;

namespace {

// A compact picture of the runs: "text{flags}" with flags B, I, S, U, c=<colour>, b=<colour>,
// l=<link>, runs separated by "|".
std::string Describe(const std::vector<TDLXMarkupRun>& runs) {
  std::string out;
  for (const TDLXMarkupRun& run : runs) {
    if (!out.empty()) out += "|";
    out += dlx::ToUtf8(run.Text);
    std::string flags;
    if (run.Style.Bold) flags += "B";
    if (run.Style.Italic) flags += "I";
    if (run.Style.StrikeOut) flags += "S";
    if (run.Style.Underline) flags += "U";
    char buffer[32];
    if (run.Style.Color) {
      std::snprintf(buffer, sizeof(buffer), "c=%08X", *run.Style.Color);
      flags += buffer;
    }
    if (run.Style.BackColor) {
      std::snprintf(buffer, sizeof(buffer), "b=%08X", *run.Style.BackColor);
      flags += buffer;
    }
    if (!run.Style.Link.empty()) flags += "l=" + dlx::ToUtf8(run.Style.Link);
    if (!flags.empty()) out += "{" + flags + "}";
  }
  return out;
}

TEST(Markup, CaptionsBecomeStyledRuns) {
  const struct {
    const char16_t* caption;
    const char* runs;
  } cases[] = {
      {u"plain text", "plain text"},
      {u"", ""},
      {u"[B]bold[/B] and [i]italic[/i]", "bold{B}| and |italic{I}"},
      {u"[B]a[I]b[/I]c[/B]", "a{B}|b{BI}|c{B}"},
      // Tags closed out of order: the inner one goes on after its outer one closed.
      {u"[B]a[I]b[/B]c[/I]d", "a{B}|b{BI}|c{I}|d"},
      {u"[S]x[/S][U]y[/U]", "x{S}|y{U}"},
      {u"[COLOR=#FF8000]o[/COLOR]", "o{c=FFFF8000}"},
      {u"[COLOR=#f80]o[/COLOR]", "o{c=FFFF8800}"},
      {u"[COLOR=x80102030]o[/COLOR]", "o{c=80102030}"},
      {u"[BACKCOLOR=claYellow]m[/BACKCOLOR]", "m{b=FFFFFF00}"},
      {u"[COLOR=red][COLOR=blue]in[/COLOR]out[/COLOR]", "in{c=FF0000FF}|out{c=FFFF0000}"},
      {u"[URL=https://zuva.example/]home[/URL]", "home{l=https://zuva.example/}"},
      {u"[URL]zuva.example[/URL] page", "zuva.example{l=zuva.example}| page"},
      {u"[URL=a]x[B]y[/B][/URL]", "x{l=a}|y{Bl=a}"},
      // Not tags: stays text.
      {u"[X]a[/X]", "[X]a[/X]"},
      {u"a [/B] b", "a [/B] b"},
      {u"[COLOR]c[/COLOR]", "[COLOR]c[/COLOR]"},
      {u"[COLOR=nocolour]c[/COLOR]", "[COLOR=nocolour]c[/COLOR]"},
      {u"[B=1]x", "[B=1]x"},
      {u"[B", "[B"},
      {u"a]b[", "a]b["},
      // Open at the end: closes there.
      {u"[B]bold to the end", "bold to the end{B}"},
      {u"[URL]unfinished", "unfinished{l=unfinished}"},
      // The second link's target is known only at its close; the two runs then read alike.
      {u"[URL=x]a[/URL][URL]x[/URL]", "ax{l=x}"},
      // E-mail addresses in plain text become links; punctuation around them is not theirs.
      {u"Write to support@zuva.example.", "Write to |support@zuva.example{l=mailto:support@zuva.example}|."},
      {u"(a.b+c@x-y.example)", "(|a.b+c@x-y.example{l=mailto:a.b+c@x-y.example}|)"},
      {u"[B]bob@a.example[/B]", "bob@a.example{Bl=mailto:bob@a.example}"},
      {u"not@an@address", "not@an@address"},
      {u"user@-bad.example", "user@-bad.example"},
      {u"@alone", "@alone"},
      {u"[URL=https://x.example]mail@inside.example[/URL]", "mail@inside.example{l=https://x.example}"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Describe(dlx::ParseMarkup(c.caption)), c.runs) << dlx::ToUtf8(c.caption);
  }
}

TEST(Markup, PlainTextIsTheCaptionWithoutTags) {
  EXPECT_EQ(dlx::MarkupPlainText(dlx::ParseMarkup(u"[B]Hello[/B], [URL=x]world[/URL] [Q]")),
            u"Hello, world [Q]");
}

TEST(Markup, EmailRuleOfTheHtmlStandard) {
  const struct {
    const char16_t* word;
    bool valid;
  } cases[] = {
      {u"a@b", true},
      {u"first.last@sub.domain.example", true},
      {u"x!#$%&'*+/=?^_`{|}~-@d.example", true},
      {u"a@b-c.example", true},
      {u"a@b_c.example", false},
      {u"a@.example", false},
      {u"a@example.", false},
      {u"a b@c.example", false},
      {u"@b.example", false},
      {u"a@", false},
      {u"\u00e4@b.example", false},
  };
  for (const auto& c : cases) EXPECT_EQ(dlx::IsValidEmailAddress(c.word), c.valid) << dlx::ToUtf8(c.word);
  // Labels longer than 63 characters and addresses longer than 254 are not addresses.
  EXPECT_FALSE(dlx::IsValidEmailAddress(u"a@" + String(64, u'b') + u".example"));
  EXPECT_TRUE(dlx::IsValidEmailAddress(u"a@" + String(63, u'b') + u".example"));
  EXPECT_FALSE(dlx::IsValidEmailAddress(String(250, u'a') + u"@b.example"));
}

TEST(Markup, LongInputsStayLinear) {
  // A long word with "@" or many nested tags must neither overflow the stack nor take long.
  String caption(200000, u'a');
  caption[100000] = u'@';
  EXPECT_EQ(dlx::ParseMarkup(caption).size(), 1u);
  String nested;
  for (int i = 0; i < 20000; ++i) nested += u"[B]";
  nested += u"x";
  EXPECT_EQ(Describe(dlx::ParseMarkup(nested)), "x{B}");
}

}  // namespace
