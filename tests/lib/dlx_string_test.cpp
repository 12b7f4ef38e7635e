#include "lib/dlx_string.h"

#include <gtest/gtest.h>

using namespace dlx;

TEST(Utf, RoundTripsAllPlanesThroughUtf8) {
  const String text = u"a\u00e9\u0416\u20ac\U0001F600z";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(ToUtf8(text).size(), 1u + 2 + 2 + 3 + 4 + 1);
}

TEST(Utf, StrictDecodingRejectsMalformedInputAndLenientDecodingReplacesIt) {
  String out;
  EXPECT_FALSE(TryDecodeUtf8("\xC0\x80", out)) << "overlong NUL";
  EXPECT_FALSE(TryDecodeUtf8("\xED\xA0\x80", out)) << "encoded surrogate";
  EXPECT_FALSE(TryDecodeUtf8("abc\xE2\x82", out)) << "truncated sequence";
  EXPECT_TRUE(TryDecodeUtf8("\xE2\x82\xAC", out));
  EXPECT_EQ(out, u"\u20ac");
  EXPECT_EQ(FromUtf8("a\xFF"
                     "b"),
            u"a\uFFFDb");
  EXPECT_EQ(ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx") << "a lone surrogate becomes U+FFFD";
}

TEST(Text, TrimControlStripsBlanksAndControlsOnly) {
  EXPECT_EQ(TrimControl(u" \t\r\n a b \x01"), u"a b");
  EXPECT_EQ(TrimControl(u"   "), u"");
  EXPECT_EQ(TrimControl(u"\u00a0x"), u"\u00a0x") << "no-break space has code 160";
}

TEST(Text, IntegersParseStrictlyAndDetectOverflow) {
  int64_t v = 0;
  EXPECT_TRUE(TryStrToInt(u"-42", v));
  EXPECT_EQ(v, -42);
  EXPECT_TRUE(TryStrToInt(u"9223372036854775807", v));
  EXPECT_EQ(v, INT64_MAX);
  EXPECT_TRUE(TryStrToInt(u"-9223372036854775808", v));
  EXPECT_EQ(v, INT64_MIN);
  EXPECT_FALSE(TryStrToInt(u"9223372036854775808", v));
  EXPECT_FALSE(TryStrToInt(u"", v));
  EXPECT_FALSE(TryStrToInt(u"-", v));
  EXPECT_FALSE(TryStrToInt(u"12a", v));
  EXPECT_FALSE(TryStrToInt(u" 1", v));
  EXPECT_EQ(IntToStr(-7), u"-7");
}
