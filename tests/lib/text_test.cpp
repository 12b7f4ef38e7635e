#include "lib/platform/text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lib/stream.h"
#include "lib/text_encoding.h"

using namespace dlx;

namespace {

std::string Bytes(const TDLXMemoryStream& s) {
  return std::string(reinterpret_cast<const char*>(s.Memory()), s.Size());
}

String Decode(const std::string& bytes, const TDLXEncoding& expected, TDLXEncoding* detected = nullptr) {
  return DecodeTextBytes(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), expected, detected);
}

}  // namespace

TEST(TextCompare, IgnoringCaseCoversLatinGreekAndCyrillic) {
  EXPECT_TRUE(SameText(u"Main", u"MAIN"));
  EXPECT_TRUE(SameText(u"\u00e9t\u00e9", u"\u00c9T\u00c9"));            // été / ÉTÉ
  EXPECT_TRUE(SameText(u"\u0161\u0142", u"\u0160\u0141"));              // šł / ŠŁ
  EXPECT_TRUE(SameText(u"\u03b1\u03b2\u03c2", u"\u0391\u0392\u03a3"));  // αβς / ΑΒΣ
  EXPECT_TRUE(SameText(u"\u043f\u0440\u0438\u0432\u0435\u0442", u"\u041f\u0420\u0418\u0412\u0415\u0422"));
  EXPECT_TRUE(SameText(u"\u0451", u"\u0401"));  // ё / Ё
  EXPECT_FALSE(SameText(u"abc", u"abd"));
  EXPECT_FALSE(SameText(u"abc", u"abc ")) << "different lengths are never the same text";
  EXPECT_FALSE(SameText(u"a", u""));
  EXPECT_TRUE(SameText(u"", u""));
  EXPECT_LT(CompareTextIgnoreCase(u"apple", u"BANANA"), 0);
  EXPECT_GT(CompareTextIgnoreCase(u"Cherry", u"banana"), 0);
  EXPECT_EQ(CompareTextIgnoreCase(u"Straße", u"STRAßE"), 0);
}

TEST(TextCompare, UpperCaseAgreesWithTheCaseInsensitiveComparison) {
  // The INI hash upper-cases names and the lookup compares them ignoring case: both must agree,
  // or a key written in one case could not be found in another.
  const String samples[] = {u"key",          u"\u00e0\u00fe\u00ff",       u"\u0101\u0107\u017e",
                            u"\u03ac\u03cd", u"\u0436\u0455\u0491\u04d1", u"Mixed-Case_09"};
  for (const String& s : samples) {
    const String upper = UpperCaseText(s);
    ASSERT_EQ(upper.size(), s.size());
    EXPECT_TRUE(SameText(upper, s)) << ToUtf8(s);
    EXPECT_EQ(UpperCaseText(upper), upper) << "upper-casing twice changes nothing";
  }
  EXPECT_EQ(UpperCaseText(u"abc\u00e9\u0436"), u"ABC\u00c9\u0416");
}

TEST(TextCompare, CaseCountingOrderStillGroupsLettersTogether) {
  EXPECT_LT(CompareTextWithCase(u"apple", u"Banana"), 0);
  EXPECT_GT(CompareTextWithCase(u"banana", u"Apple"), 0);
  EXPECT_NE(CompareTextWithCase(u"a", u"A"), 0);
  EXPECT_EQ(CompareTextWithCase(u"same", u"same"), 0);
  EXPECT_EQ(CompareTextWithCase(u"a", u"A"), -CompareTextWithCase(u"A", u"a"));
}

TEST(CodePages, DecodeAndEncodeKnownCodePages) {
  String text;
  ASSERT_TRUE(DecodeCodePage(1251, "\xcf\xf0\xe8", 3, text));
  EXPECT_EQ(text, u"\u041f\u0440\u0438");
  ASSERT_TRUE(DecodeCodePage(866, "\x8f\xe0\xa8", 3, text));
  EXPECT_EQ(text, u"\u041f\u0440\u0438");
  ASSERT_TRUE(DecodeCodePage(1252, "caf\xe9 \x80", 6, text));
  EXPECT_EQ(text, u"caf\u00e9 \u20ac");
  ASSERT_TRUE(DecodeCodePage(kCodePageUtf8, "\xc3\xa9\xe2\x82\xac", 5, text));
  EXPECT_EQ(text, u"\u00e9\u20ac");

  std::string bytes;
  EXPECT_TRUE(EncodeCodePage(1251, u"\u041f\u0440\u0438", bytes));
  EXPECT_EQ(bytes, "\xcf\xf0\xe8");
  EXPECT_TRUE(EncodeCodePage(kCodePageUtf8, u"\u00e9", bytes));
  EXPECT_EQ(bytes, "\xc3\xa9");
  EXPECT_TRUE(EncodeCodePage(kCodePageUtf16BE, u"A\u0416", bytes));
  EXPECT_EQ(bytes, std::string("\x00\x41\x04\x16", 4));
}

TEST(CodePages, FailuresAreReportedNotHidden) {
  String text;
  EXPECT_FALSE(DecodeCodePage(kCodePageUtf8, "\xc3(", 2, text)) << "invalid UTF-8";
  EXPECT_FALSE(DecodeCodePage(kCodePageUtf8, "\xe2\x82", 2, text)) << "truncated UTF-8";
  EXPECT_FALSE(DecodeCodePage(4242, "abc", 3, text)) << "unknown code page";

  std::string bytes;
  EXPECT_FALSE(EncodeCodePage(1251, u"a\u00e9b", bytes)) << "é has no place in Windows-1251";
  EXPECT_EQ(bytes, "a?b");
  EXPECT_FALSE(EncodeCodePage(kCodePageUtf8, String(1, Char(0xD800)), bytes)) << "lone surrogate";
}

TEST(CodePages, AnsiConversionNeverFailsAndRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  const String text = DecodeAnsi(all.data(), all.size());
  ASSERT_FALSE(text.empty());
#ifndef _WIN32
  // The host's ANSI is Windows-1252, whose 255 non-zero bytes all survive a round trip.
  EXPECT_EQ(text.size(), all.size());
  EXPECT_EQ(EncodeAnsi(text), all);
  EXPECT_EQ(AnsiCodePage(), 1252u);
#endif
}

TEST(TextEncoding, ByteOrderMarksDecideTheEncodingAndAreSkipped) {
  TDLXEncoding detected;
  EXPECT_EQ(Decode("\xEF\xBB\xBF\xc3\xa9", {}, &detected), u"\u00e9");
  EXPECT_EQ(detected, TDLXEncoding::Utf8());
  EXPECT_EQ(Decode(std::string("\xFF\xFE"
                               "A\0\x16\x04",
                               6),
                   {}, &detected),
            u"A\u0416");
  EXPECT_EQ(detected, TDLXEncoding::Utf16LE());
  EXPECT_EQ(Decode(std::string("\xFE\xFF\0A\x04\x16", 6), {}, &detected), u"A\u0416");
  EXPECT_EQ(detected, TDLXEncoding::Utf16BE());
  // A mark overrides what the caller expected.
  EXPECT_EQ(Decode("\xEF\xBB\xBFx", TDLXEncoding::FromCodePage(1251), &detected), u"x");
  EXPECT_EQ(detected, TDLXEncoding::Utf8());
  // An empty UTF-16 file is only its mark; it must not read as two ANSI characters.
  EXPECT_EQ(Decode("\xFF\xFE", {}, &detected), u"");
  EXPECT_EQ(detected, TDLXEncoding::Utf16LE());
  // A dangling last byte of UTF-16 text is dropped.
  EXPECT_EQ(Decode(std::string("\xFF\xFE"
                               "A\0B",
                               5),
                   {}),
            u"A");
}

TEST(TextEncoding, WithoutAMarkTheExpectedEncodingOrAnsiIsUsed) {
  TDLXEncoding detected;
  EXPECT_EQ(Decode("abc", {}, &detected), u"abc");
  EXPECT_EQ(detected, TDLXEncoding::Ansi());
  EXPECT_EQ(Decode("\xcf\xf0\xe8", TDLXEncoding::FromCodePage(1251), &detected), u"\u041f\u0440\u0438");
  EXPECT_EQ(detected, TDLXEncoding::FromCodePage(1251));
  EXPECT_EQ(Decode("\xc3\xa9", TDLXEncoding::Utf8()), u"\u00e9");
#ifndef _WIN32
  // Invalid UTF-8 falls back to ANSI (Windows-1252 on the host) instead of losing the text.
  EXPECT_EQ(Decode("caf\xe9", TDLXEncoding::Utf8(), &detected), u"caf\u00e9");
  EXPECT_EQ(detected, TDLXEncoding::Utf8());
  EXPECT_EQ(Decode("\xEF\xBB\xBF\xe9t\xe9", {}), u"\u00e9t\u00e9");
#else
  EXPECT_EQ(Decode("caf\xe9", TDLXEncoding::Utf8()).size(), 4u);
#endif
}

TEST(TextEncoding, WritingPutsTheMarkFirstAndDefaultsToUtf16LE) {
  TDLXMemoryStream none, utf8, be, ansi, cp;
  WriteEncodedText(none, u"A\u0416", {});
  WriteEncodedText(utf8, u"\u00e9", TDLXEncoding::Utf8());
  WriteEncodedText(be, u"A", TDLXEncoding::Utf16BE());
  WriteEncodedText(ansi, u"abc", TDLXEncoding::Ansi());
  WriteEncodedText(cp, u"\u041f", TDLXEncoding::FromCodePage(1251));
  EXPECT_EQ(Bytes(none), std::string("\xFF\xFE"
                                     "A\0\x16\x04",
                                     6));
  EXPECT_EQ(Bytes(utf8), "\xEF\xBB\xBF\xc3\xa9");
  EXPECT_EQ(Bytes(be), std::string("\xFE\xFF\0A", 4));
  EXPECT_EQ(Bytes(ansi), "abc");
  EXPECT_EQ(Bytes(cp), "\xcf");

  // Reading starts at the stream's position and runs to its end.
  TDLXMemoryStream s;
  s.WriteBuffer("skip", 4);
  WriteEncodedText(s, u"text", TDLXEncoding::Utf8());
  s.SetPosition(4);
  TDLXEncoding detected;
  EXPECT_EQ(DecodeTextStream(s, {}, &detected), u"text");
  EXPECT_EQ(detected, TDLXEncoding::Utf8());
}
