// The forgiving XML text reader: a byte tokenizer that builds whatever tree the tags describe and
// stops quietly at the first thing it cannot place. It never raises on malformed text; the only
// error is a second top-level element ("Only one Root available", from the document).
#include <atomic>
#include <climits>

#include "lib/platform/text.h"
#include "lib/xml_document.h"

namespace dlx {

namespace {

std::atomic<uint32_t> ansiCodePage{0};

}  // namespace

void SetXMLAnsiCodePage(uint32_t codePage) {
  ansiCodePage.store(codePage);
}

uint32_t XMLAnsiCodePage() {
  return ansiCodePage.load();
}

String DecodeXMLBytes(const uint8_t* data, size_t size, TDLXXMLEncoding encoding) {
  String out;
  if (size == 0) return out;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  switch (encoding.Kind) {
    case ekUtf8:
      if (!TryDecodeUtf8(bytes, out)) out.clear();
      return out;
    case ekCodePage:
      // Code page 0 is the system's ANSI code page, as it is for MultiByteToWideChar.
      if (encoding.CodePage != 0) {
        if (!DecodeCodePage(static_cast<uint32_t>(encoding.CodePage), bytes.data(), size, out)) out.clear();
        return out;
      }
      return DecodeAnsi(bytes.data(), size);
    default:
      if (const uint32_t codePage = XMLAnsiCodePage();
          codePage != 0 && DecodeCodePage(codePage, bytes.data(), size, out)) {
        return out;
      }
      return DecodeAnsi(bytes.data(), size);
  }
}

namespace {

enum class Token {
  End,
  Word,
  Quoted,
  TagOpen,   // <
  EndTag,    // </
  EmptyEnd,  // /> or ?>
  Close,     // >
  Equals,    // =
  Comment,   // <!-- ... -->
  CData,     // <![CDATA[ ... ]]>
};

enum class TagEnd { Open, Empty, Abandoned };

bool IsBlank(uint8_t c) {
  return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

bool EndsWord(uint8_t c) {
  return c == '=' || c == '/' || c == '<' || c == '>' || IsBlank(c);
}

class TextReader {
 public:
  TextReader(TDLXXMLDocument& document, const uint8_t* data, size_t size, TDLXXMLEncoding encoding)
      : document_(document), data_(data), size_(size), encoding_(encoding) {}

  void Run();

 private:
  Token Next();
  bool StartsWith(std::string_view text) const {
    return size_ - pos_ >= text.size() &&
           std::string_view(reinterpret_cast<const char*>(data_ + pos_), text.size()) == text;
  }
  // Position of the next occurrence of text at or after from, or size_ when there is none.
  size_t Find(std::string_view text, size_t from) const;
  TagEnd ReadTag(TDLXXMLNode& node);
  String Convert(size_t begin, size_t end) const;
  void AssignText(TDLXXMLNode& node, size_t end);
  void SelectEncoding(const TDLXXMLNode& declaration);
  std::string_view TokenBytes() const {
    return std::string_view(reinterpret_cast<const char*>(data_ + tokenBegin_), tokenEnd_ - tokenBegin_);
  }

  TDLXXMLDocument& document_;
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  TDLXXMLEncoding encoding_;
  // The text of the last word, quoted, comment or CDATA token.
  size_t tokenBegin_ = 0, tokenEnd_ = 0;
  // Where the last token began (after the blanks before it, which belong to the text).
  size_t tokenStart_ = 0;

  bool collecting_ = false;
  size_t collectStart_ = 0;
  bool keepSpaces_ = false;
};

size_t TextReader::Find(std::string_view text, size_t from) const {
  const std::string_view all(reinterpret_cast<const char*>(data_), size_);
  const size_t found = all.find(text, from);
  return found == std::string_view::npos ? size_ : found;
}

Token TextReader::Next() {
  while (pos_ < size_ && IsBlank(data_[pos_])) ++pos_;
  tokenStart_ = pos_;
  if (pos_ >= size_) return Token::End;
  const uint8_t c = data_[pos_];
  const bool hasNext = pos_ + 1 < size_;
  const uint8_t next = hasNext ? data_[pos_ + 1] : 0;

  if (c == '"' || c == '\'') {
    size_t i = pos_ + 1;
    while (i < size_ && data_[i] != c && data_[i] != '<' && data_[i] != '>') ++i;
    tokenBegin_ = pos_ + 1;
    tokenEnd_ = i;
    pos_ = (i < size_ && data_[i] == c) ? i + 1 : i;
    return Token::Quoted;
  }
  if ((c == '/' || c == '?') && hasNext && next == '>') {
    pos_ += 2;
    return Token::EmptyEnd;
  }
  if (c == '<') {
    if (hasNext && next == '/') {
      pos_ += 2;
      return Token::EndTag;
    }
    if (StartsWith("<!--")) {
      const size_t end = Find("-->", pos_ + 4);
      if (end < size_) {
        tokenBegin_ = pos_ + 4;
        tokenEnd_ = end;
        pos_ = end + 3;
        return Token::Comment;
      }
    } else if (StartsWith("<![CDATA[")) {
      const size_t end = Find("]]>", pos_ + 9);
      if (end < size_) {
        tokenBegin_ = pos_ + 9;
        tokenEnd_ = end;
        pos_ = end + 3;
        return Token::CData;
      }
    }
    ++pos_;
    return Token::TagOpen;
  }
  if (c == '=') {
    ++pos_;
    return Token::Equals;
  }
  if (c == '>') {
    ++pos_;
    return Token::Close;
  }
  tokenBegin_ = pos_;
  if (c == '/') {
    ++pos_;  // a stray '/' is a word of its own
  } else {
    while (pos_ < size_ && !EndsWord(data_[pos_])) ++pos_;
  }
  tokenEnd_ = pos_;
  return Token::Word;
}

String TextReader::Convert(size_t begin, size_t end) const {
  return TDLXXMLHelper::DecodeString(DecodeXMLBytes(data_ + begin, end - begin, encoding_));
}

TagEnd TextReader::ReadTag(TDLXXMLNode& node) {
  bool haveName = false;
  TDLXXMLAttribute* attribute = nullptr;  // the attribute that may still take a value
  bool expectValue = false;
  for (;;) {
    const Token token = Next();
    switch (token) {
      case Token::End:
        return TagEnd::Empty;
      case Token::Close:
        return TagEnd::Open;
      case Token::EmptyEnd:
        return TagEnd::Empty;
      case Token::TagOpen:
      case Token::Comment:
      case Token::CData:
        return TagEnd::Abandoned;
      case Token::EndTag:
        break;
      case Token::Equals:
        if (attribute) expectValue = true;
        break;
      case Token::Quoted:
      case Token::Word:
        if (!haveName) {
          node.NodeName.assign(TokenBytes());
          haveName = true;
        } else if (expectValue) {
          attribute->Value = Convert(tokenBegin_, tokenEnd_);
          attribute = nullptr;
          expectValue = false;
        } else if (token == Token::Word) {
          // Also where an '=' was expected: a word there starts the next attribute.
          attribute = node.Attributes().Add(TokenBytes(), String());
        }
        break;
    }
  }
}

void TextReader::AssignText(TDLXXMLNode& node, size_t end) {
  if (&node == &document_) return;  // the document has no value of its own
  size_t begin = collectStart_;
  if (end < begin) return;
  if (!keepSpaces_) {
    while (begin < end && data_[begin] <= 0x20) ++begin;
    while (end > begin && data_[end - 1] <= 0x20) --end;
  }
  if (begin < end) node.NodeValue = Convert(begin, end);
}

void TextReader::SelectEncoding(const TDLXXMLNode& declaration) {
  String value;
  if (!declaration.Attributes().TryGetValue("encoding", value)) return;
  if (SameTextAscii(value, u"utf-8")) {
    encoding_ = TDLXXMLEncoding{0, ekUtf8};
  } else if (value.size() >= 8 && SameTextAscii(value.substr(0, 8), u"Windows-")) {
    int64_t codePage;
    if (!TryStrToInt(StringView(value).substr(8), codePage) || codePage < INT32_MIN || codePage > INT32_MAX) {
      codePage = 0;
    }
    encoding_ = TDLXXMLEncoding{static_cast<int32_t>(codePage), ekCodePage};
  } else {
    encoding_ = TDLXXMLEncoding{0, ekAnsi};
  }
}

void TextReader::Run() {
  TDLXXMLNode* current = &document_;
  for (;;) {
    switch (Next()) {
      case Token::End:
        return;
      case Token::TagOpen: {
        if (pos_ < size_ && (data_[pos_] == '?' || data_[pos_] == '!')) {
          const bool instruction = data_[pos_] == '?';
          TDLXXMLNode scratch;
          if (ReadTag(scratch) == TagEnd::Abandoned) return;
          if (instruction) SelectEncoding(scratch);
          break;
        }
        if (collecting_) AssignText(*current, tokenStart_);
        TDLXXMLNode* child = current->Add({});
        const TagEnd end = ReadTag(*child);
        String space;
        if (child->Attributes().TryGetValue("xml:space", space)) {
          keepSpaces_ = SameTextAscii(space, u"preserve");
          child->Attributes().Remove("xml:space");
        }
        if (end == TagEnd::Empty) {
          keepSpaces_ = false;
        } else if (end == TagEnd::Open) {
          current = child;
        } else {
          return;
        }
        collecting_ = true;
        collectStart_ = pos_;
        break;
      }
      case Token::EndTag: {
        if (collecting_ && current->Count() == 0) AssignText(*current, tokenStart_);
        keepSpaces_ = false;
        collecting_ = false;
        current = current->Parent();
        if (!current) return;
        // The end tag's name is not checked: tags match by nesting alone.
        while (pos_ < size_ && data_[pos_] != '>' && data_[pos_] != '<') ++pos_;
        if (pos_ < size_ && data_[pos_] == '>') ++pos_;
        break;
      }
      case Token::Comment:
        collecting_ = false;
        break;
      case Token::CData:
        if (current != &document_) current->NodeValue = Convert(tokenBegin_, tokenEnd_);
        collecting_ = false;
        break;
      default:
        break;  // text is taken from the raw bytes, not from its tokens
    }
  }
}

}  // namespace

void ReadXMLText(TDLXXMLDocument& document, const uint8_t* data, size_t size, TDLXXMLEncoding encoding) {
  if (!data || size == 0) return;
  TextReader(document, data, size, encoding).Run();
}

}  // namespace dlx
