#include "lib/parser.h"

namespace dlx {

namespace {

bool In(const String& set, Char c) {
  return set.find(c) != String::npos;
}

}  // namespace

TDLXParser::TDLXParser(StringView delimiters, StringView spaces, StringView quotes)
    : Delimiters(delimiters), Spaces(spaces), Quotes(quotes) {}

void TDLXParser::SetSource(StringView text) {
  source_ = String(text);
  position_ = 0;
}

bool TDLXParser::IsSkipped(TDLXTokenType type) const {
  return (type == ttSpace && SkipSpaces) || (type == ttDelimiter && SkipDelimiters) ||
         (type == ttQuote && SkipQuotes);
}

bool TDLXParser::GetToken(TDLXParserToken& token) {
  do {
    if (!ReadToken(token)) return false;
  } while (IsSkipped(token.TokenType));
  return true;
}

bool TDLXParser::ReadToken(TDLXParserToken& token) {
  token = TDLXParserToken();
  const size_t n = source_.size();
  if (position_ >= n) return false;
  const Char* text = source_.data();
  const Char c = text[position_];
  auto single = [&](TDLXTokenType type) {
    token.Data = text + position_;
    token.DataLength = 1;
    token.TokenType = type;
    ++position_;
    return true;
  };
  if (In(Spaces, c)) return single(ttSpace);
  if (In(Quotes, c)) {
    if (QuotedTextAsSingleToken) {
      const size_t close = source_.find(c, position_ + 1);
      if (close != String::npos) {
        token.TokenType = ttString;
        if (QuotedTextRemoveQuotes) {
          token.Data = text + position_ + 1;
          token.DataLength = close - position_ - 1;
        } else {
          token.Data = text + position_;
          token.DataLength = close - position_ + 1;
        }
        position_ = close + 1;
        return true;
      }
    }
    return single(ttQuote);
  }
  if (In(Delimiters, c)) return single(ttDelimiter);
  size_t end = position_ + 1;
  while (end < n && !In(Delimiters, text[end])) ++end;
  token.Data = text + position_;
  token.DataLength = end - position_;
  token.TokenType = ttWord;
  position_ = end;
  return true;
}

}  // namespace dlx
