#include "lib/parser.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace dlx;

namespace {

using Tokens = std::vector<std::pair<TDLXTokenType, String>>;

Tokens ReadAll(TDLXParser& parser, StringView text) {
  parser.SetSource(text);
  Tokens tokens;
  TDLXParserToken token;
  while (parser.GetToken(token)) tokens.emplace_back(token.TokenType, String(token.Text()));
  return tokens;
}

// A parser that returns every token type.
struct UnskippingParser : TDLXParser {
  UnskippingParser() : TDLXParser(u",;", u" ", u"\"'") { SkipDelimiters = SkipSpaces = SkipQuotes = false; }
};

}  // namespace

TEST(Parser, SplitsIntoWordsDelimitersSpacesAndQuotes) {
  UnskippingParser parser;
  EXPECT_EQ(ReadAll(parser, u"ab,c d;\"x"),
            (Tokens{{ttWord, u"ab"},
                    {ttDelimiter, u","},
                    {ttWord, u"c d"},  // a blank that is not a delimiter belongs to the word
                    {ttDelimiter, u";"},
                    {ttQuote, u"\""},
                    {ttWord, u"x"}}));
  EXPECT_EQ(ReadAll(parser, u" a"), (Tokens{{ttSpace, u" "}, {ttWord, u"a"}}))
      << "spaces are tested before anything else";
  EXPECT_TRUE(ReadAll(parser, u"").empty());
}

TEST(Parser, QuotedTextAsOneTokenWithOrWithoutItsQuotes) {
  UnskippingParser parser;
  parser.QuotedTextAsSingleToken = true;
  EXPECT_EQ(ReadAll(parser, u"\"a, b\"x"), (Tokens{{ttString, u"a, b"}, {ttWord, u"x"}}));
  EXPECT_EQ(ReadAll(parser, u"'say \"hi\"'"), (Tokens{{ttString, u"say \"hi\""}}))
      << "only the same quote character closes";
  EXPECT_EQ(ReadAll(parser, u"\"\""), (Tokens{{ttString, u""}}));
  EXPECT_EQ(ReadAll(parser, u"\"open"), (Tokens{{ttQuote, u"\""}, {ttWord, u"open"}}))
      << "an unclosed quote is a lone quote token";
  parser.QuotedTextRemoveQuotes = false;
  EXPECT_EQ(ReadAll(parser, u"'q'"), (Tokens{{ttString, u"'q'"}}));
}

TEST(Parser, SkippedTypesAreNotReturnedAndTheRestIsExposed) {
  TDLXParser parser(u", \"", u" ", u"\"");
  // Spaces and quotes are tested before delimiters, so the blank and the quote keep their types.
  EXPECT_EQ(ReadAll(parser, u" a , b\""), (Tokens{{ttWord, u"a"}, {ttWord, u"b"}, {ttQuote, u"\""}}));
  parser.SkipQuotes = true;
  parser.SetSource(u"\"  first rest of it");
  TDLXParserToken token;
  ASSERT_TRUE(parser.GetToken(token));
  EXPECT_EQ(token.Text(), u"first");
  EXPECT_EQ(parser.Rest(), u" rest of it");
  EXPECT_EQ(parser.Remaining(), 11u);
  parser.SetSource(u" , ");
  EXPECT_FALSE(parser.GetToken(token));
  EXPECT_EQ(token.TokenType, ttNone) << "the token is zeroed before every read";
}
