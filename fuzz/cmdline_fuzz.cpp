// Command-line parsing of arbitrary text: no crash, values always trimmed and non-empty, switch
// lookups consistent with the parsed list, and a rebuilt switch always reads back its value, whether
// its value is quoted or the whole switch is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "lib/command_line.h"
#include "lib/platform/text.h"

using namespace dlx;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  String text(size / 2, u'\0');
  for (size_t i = 0; i < text.size(); ++i) text[i] = Char(data[2 * i] | (data[2 * i + 1] << 8));

  const auto commands = TDLXCommandLineProcessor::Parse(text);
  // Every lookup parses the text again, so only a few switches are looked up per input.
  int lookups = 0;
  for (const auto& command : commands) {
    for (int i = 0; i < command->Count(); ++i) {
      const String& value = command->Strings(i);
      Check(!value.empty() && value.front() >= 33 && value.back() >= 33);
    }
    if (command->Name.empty() || ++lookups > 4) continue;
    String found;
    Check(TDLXCommandLineProcessor::FindSwitch(text, command->Name, found));
    Check(TDLXCommandLineProcessor::HasSwitch(text, UpperCaseText(command->Name)));
  }
  String value;
  if (!TDLXCommandLineProcessor::FindSwitch(text, u"AUTO", value)) Check(value.empty());
  (void)GetCommandLineArgsFrom(text);

  // Putting a switch in front of any argument text: the switch reads back its (trimmed) value.
  const size_t split = text.size() / 2;
  const StringView payload = StringView(text).substr(0, split);
  if (payload.find(u'"') == StringView::npos) {
    const String line = FormatSwitch(u"ZVAL", payload, StringView(text).substr(split));
    Check(TDLXCommandLineProcessor::FindSwitch(line, u"zval", value));
    Check(value == TrimControl(payload));

    // The same switch quoted whole, as list-to-command-line converters write it: the same value,
    // except that ";" inside separates values (empty ones dropped, each trimmed).
    String whole = u"\"/ZVAL=";
    whole += payload;
    whole += u"\" ";
    whole += StringView(text).substr(split);
    Check(TDLXCommandLineProcessor::FindSwitch(whole, u"ZVAL", value));
    String expected;
    for (size_t start = 0;;) {
      const size_t end = payload.find(u';', start);
      const String part = TrimControl(payload.substr(start, end == StringView::npos ? end : end - start));
      if (!part.empty()) expected += (expected.empty() ? u"" : u";") + part;
      if (end == StringView::npos) break;
      start = end + 1;
    }
    Check(value == expected);
    if (payload.find(u';') == StringView::npos) Check(value == TrimControl(payload));
    // A quoted switch is followed by the switches after it as an unquoted one would be.
    const String flag = u"\"/ZFLAG\" " + String(StringView(text).substr(split));
    Check(TDLXCommandLineProcessor::HasSwitch(flag, u"ZFLAG"));
    Check(TDLXCommandLineProcessor::HasSwitch(u"\"/ZFLAG\" /ZNEXT", u"ZNEXT"));
  }
  return 0;
}
