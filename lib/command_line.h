// Command-line switches: "/NAME" or "-NAME", optionally "=" and values separated by ";", either
// with the values quoted (/NAME="a b") or quoted whole ("/NAME=a b"). The installer asks whether a
// switch is present and what its value is, parsing the argument text anew for every question.
#pragma once

#include <memory>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/parser.h"
#include "lib/string_list.h"

namespace dlx {

class TDLXCommandLineProcessor {
 public:
  // One switch: its values, in order, are the lines. The nameless group holds values that precede
  // the first switch or follow a closed value list.
  class TCommand : public TDLXStringList {
   public:
    explicit TCommand(StringView name) : Name(name) {}
    String Name;
  };
  using TCommands = std::vector<std::unique_ptr<TCommand>>;

  static TCommands Parse(StringView text);
  // The first switch named name (ignoring case): true, and its values joined by ";".
  static bool FindSwitch(StringView text, StringView name, String& value);
  static bool HasSwitch(StringView text, StringView name);
};

// The state machine that turns tokens into switches and values.
class TDLXCommandLineParser : public TDLXParser {
 public:
  TDLXCommandLineParser();
  TDLXCommandLineProcessor::TCommands Parse(StringView text);

 private:
  // Handles a token as plain value text; returns the next state.
  int HandleValue(const TDLXParserToken& token);
  // A quoted text in switch position that holds a whole switch ("/NAME" or "/NAME=values", as
  // programs that quote every argument holding a blank write it) and ends the argument (a blank or
  // the end follows) becomes that switch; true and the next state then, false (nothing changed)
  // for any other text.
  bool TakeQuotedSwitch(StringView text, int& state);
  // "-" starts a switch once a command exists or while no value text is pending.
  bool HyphenStartsSwitch() const;
  // Flushes pending value text and makes a new command named name the current one.
  void StartCommand(StringView name);
  void Flush();
  void AddValue(StringView text);

  TDLXCommandLineProcessor::TCommands commands_;
  TDLXCommandLineProcessor::TCommand* current_ = nullptr;
  String builder_;
};

// The process's arguments: its command line without the program path, trimmed.
String GetCommandLineArgsFrom(StringView commandLine);
#ifdef _WIN32
String GetCommandLineArgs();
#endif

// An argument text with one switch put in front, for starting another process of this system:
// /name="text" rest, or /name=number rest. A text holding a double quote cannot be passed this way
// and raises EDLXException instead of producing a command line that means something else.
String FormatSwitch(StringView name, StringView text, StringView rest);
String FormatSwitch(StringView name, int64_t number, StringView rest);

}  // namespace dlx
