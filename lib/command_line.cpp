#include "lib/command_line.h"

#include "lib/exceptions.h"
#include "lib/platform/text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace dlx {

namespace {

enum State { kValue = 0, kAfterBlank = 1, kAfterPrefix = 2, kAfterName = 3, kValues = 4 };

bool IsAsciiLetter(Char c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// A word that starts a path of its own: "C:..." or "\\server\share...".
bool HasDrivePart(StringView word) {
  if (word.size() >= 2 && IsAsciiLetter(word[0]) && word[1] == u':') return true;
  if (word.size() < 5 || word[0] != u'\\' || word[1] != u'\\') return false;
  const size_t shareStart = word.find(u'\\', 2);
  return shareStart != StringView::npos && shareStart > 2 && shareStart + 1 < word.size() &&
         word[shareStart + 1] != u'\\';
}

bool IsChar(const TDLXParserToken& token, Char c) {
  return token.DataLength == 1 && token.Data[0] == c;
}

}  // namespace

TDLXCommandLineParser::TDLXCommandLineParser() : TDLXParser(u"-/=; \r\n", u" ", u"\"") {
  QuotedTextAsSingleToken = true;
  QuotedTextRemoveQuotes = true;
  SkipDelimiters = false;
  SkipSpaces = false;
  SkipQuotes = false;
}

void TDLXCommandLineParser::AddValue(StringView text) {
  const String value = TrimControl(text);
  if (value.empty()) return;
  if (!current_) {
    commands_.push_back(std::make_unique<TDLXCommandLineProcessor::TCommand>(u""));
    current_ = commands_.back().get();
  }
  current_->Add(value);
}

void TDLXCommandLineParser::Flush() {
  const String text = std::move(builder_);
  builder_.clear();
  AddValue(text);
}

int TDLXCommandLineParser::HandleValue(const TDLXParserToken& token) {
  switch (token.TokenType) {
    case ttSpace:
      return kAfterBlank;
    case ttDelimiter:
    case ttQuote:
      if (IsChar(token, u'\r') || IsChar(token, u'\n')) {
        Flush();
      } else {
        builder_ += token.Text();
      }
      return kValue;
    case ttString:
      Flush();
      AddValue(token.Text());
      return kValue;
    case ttWord:
      if (HasDrivePart(token.Text())) Flush();
      builder_ += token.Text();
      return kValue;
    case ttNone:
      break;
  }
  return kValue;
}

bool TDLXCommandLineParser::HyphenStartsSwitch() const {
  return !commands_.empty() || builder_.empty();
}

void TDLXCommandLineParser::StartCommand(StringView name) {
  Flush();
  commands_.push_back(std::make_unique<TDLXCommandLineProcessor::TCommand>(name));
  current_ = commands_.back().get();
}

bool TDLXCommandLineParser::TakeQuotedSwitch(StringView text, int& state) {
  if (text.empty() || !(text[0] == u'/' || (text[0] == u'-' && HyphenStartsSwitch()))) return false;
  // A whole argument ends with its closing quote. Text running on after it means the quote was
  // inside the argument ("/AUTO=\"C:\a b\"" from converters that escape quotes with a backslash,
  // which this parser does not): reading a switch out of it would give a wrong folder.
  const StringView rest = Rest();
  if (!rest.empty() && rest[0] != u' ' && rest[0] != u'\r' && rest[0] != u'\n') return false;
  const size_t nameEnd = text.find_first_of(StringView(Delimiters), 1);
  const StringView name = text.substr(1, nameEnd == StringView::npos ? StringView::npos : nameEnd - 1);
  // Only "/NAME" or "/NAME=values": any other quoted text stays a value, as it always was.
  if (name.empty() || (nameEnd != StringView::npos && text[nameEnd] != u'=')) return false;
  StartCommand(name);
  if (nameEnd == StringView::npos) {
    state = kAfterName;
    return true;
  }
  // The values are in quotes already: blanks belong to them, ";" still separates them.
  const StringView values = text.substr(nameEnd + 1);
  for (size_t start = 0;;) {
    const size_t end = values.find(u';', start);
    AddValue(values.substr(start, end == StringView::npos ? StringView::npos : end - start));
    if (end == StringView::npos) break;
    start = end + 1;
  }
  state = kValues;
  return true;
}

TDLXCommandLineProcessor::TCommands TDLXCommandLineParser::Parse(StringView text) {
  commands_.clear();
  current_ = nullptr;
  builder_.clear();
  SetSource(text);
  int state = kAfterBlank;
  TDLXParserToken previous, token;
  while (GetToken(token)) {
    switch (state) {
      case kValue:
        state = HandleValue(token);
        break;
      case kAfterBlank:
        if (token.TokenType == ttDelimiter &&
            (IsChar(token, u'/') || (IsChar(token, u'-') && HyphenStartsSwitch()))) {
          state = kAfterPrefix;
        } else if (token.TokenType == ttString && TakeQuotedSwitch(token.Text(), state)) {
          // state set by TakeQuotedSwitch
        } else {
          builder_ += previous.Text();
          state = HandleValue(token);
        }
        break;
      case kAfterPrefix:
        if (token.TokenType == ttWord) {
          StartCommand(token.Text());
          state = kAfterName;
        } else {
          builder_ += u' ';
          builder_ += previous.Text();
          state = HandleValue(token);
        }
        break;
      case kAfterName:
        state = token.Text() == u"=" ? kValues : HandleValue(token);
        break;
      case kValues:
        switch (token.TokenType) {
          case ttSpace:
            Flush();
            current_ = nullptr;
            state = kAfterBlank;
            break;
          case ttDelimiter:
            if (IsChar(token, u';')) {
              Flush();
            } else {
              builder_ += token.Text();
            }
            break;
          case ttString:
          case ttWord:
            HandleValue(token);
            break;
          case ttQuote:
          case ttNone:
            break;
        }
        break;
    }
    previous = token;
  }
  Flush();
  current_ = nullptr;
  return std::move(commands_);
}

TDLXCommandLineProcessor::TCommands TDLXCommandLineProcessor::Parse(StringView text) {
  TDLXCommandLineParser parser;
  return parser.Parse(text);
}

bool TDLXCommandLineProcessor::FindSwitch(StringView text, StringView name, String& value) {
  value.clear();
  for (const auto& command : Parse(text)) {
    if (SameText(command->Name, name)) {
      value = command->GetDelimitedText(u";", false);
      return true;
    }
  }
  return false;
}

bool TDLXCommandLineProcessor::HasSwitch(StringView text, StringView name) {
  String value;
  return FindSwitch(text, name, value);
}

String GetCommandLineArgsFrom(StringView commandLine) {
  static const Char kSpaces[] = {u' ', u'\r', u'\n', u'\t', u'\0'};
  TDLXParser parser(u" \r\n", StringView(kSpaces, 5), u"\"'");
  parser.QuotedTextAsSingleToken = true;
  parser.QuotedTextRemoveQuotes = true;
  parser.SkipDelimiters = false;
  parser.SkipSpaces = true;
  parser.SetSource(TrimControl(commandLine));
  TDLXParserToken program;
  if (!parser.GetToken(program)) return String();
  return TrimControl(parser.Rest());
}

#ifdef _WIN32
String GetCommandLineArgs() {
  return GetCommandLineArgsFrom(FromW(GetCommandLineW()));
}
#endif

String FormatSwitch(StringView name, StringView text, StringView rest) {
  if (text.find(u'"') != StringView::npos)
    throw EDLXException(u"A command-line value cannot contain a double quote");
  String line = u"/";
  line += name;
  line += u"=\"";
  line += text;
  line += u"\" ";
  line += rest;
  return line;
}

String FormatSwitch(StringView name, int64_t number, StringView rest) {
  String line = u"/";
  line += name;
  line += u'=';
  line += IntToStr(number);
  line += u' ';
  line += rest;
  return line;
}

}  // namespace dlx
