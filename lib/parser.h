// The library's character tokenizer: splits a text into words, delimiter characters, blanks, quote
// characters and quoted texts, by three configurable character sets.
#pragma once

#include <cstddef>

#include "lib/dlx_string.h"

namespace dlx {

enum TDLXTokenType { ttNone = 0, ttSpace = 1, ttDelimiter = 2, ttQuote = 3, ttString = 4, ttWord = 5 };

struct TDLXParserToken {
  const Char* Data = nullptr;  // inside the parser's source text
  size_t DataLength = 0;
  TDLXTokenType TokenType = ttNone;

  StringView Text() const { return Data ? StringView(Data, DataLength) : StringView(); }
};

class TDLXParser {
 public:
  TDLXParser(StringView delimiters, StringView spaces, StringView quotes);
  virtual ~TDLXParser() = default;
  TDLXParser(const TDLXParser&) = delete;
  TDLXParser& operator=(const TDLXParser&) = delete;

  // Takes a copy of the text and starts at its beginning. Tokens point into this copy and stay
  // valid until the next SetSource.
  void SetSource(StringView text);
  // The next token whose type is not skipped; false at the end of the text.
  bool GetToken(TDLXParserToken& token);

  // The unread rest of the source.
  size_t Position() const { return position_; }
  size_t Remaining() const { return source_.size() - position_; }
  StringView Rest() const { return StringView(source_).substr(position_); }

  String Delimiters;
  String Spaces;
  String Quotes;
  bool QuotedTextAsSingleToken = false;
  bool QuotedTextRemoveQuotes = true;
  bool SkipDelimiters = true;
  bool SkipSpaces = true;
  bool SkipQuotes = false;

 private:
  // Reads one token at the current position, skipped or not.
  bool ReadToken(TDLXParserToken& token);
  bool IsSkipped(TDLXTokenType type) const;

  String source_;
  size_t position_ = 0;
};

}  // namespace dlx
