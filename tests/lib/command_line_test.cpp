#include "lib/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/exceptions.h"

using namespace dlx;

namespace {

// Each command as "NAME:value|value", nameless ones as ":value".
std::vector<String> Describe(StringView text) {
  std::vector<String> out;
  for (const auto& command : TDLXCommandLineProcessor::Parse(text))
    out.push_back(command->Name + u":" + command->GetDelimitedText(u"|", false));
  return out;
}

String Find(StringView text, StringView name) {
  String value = u"untouched";
  if (!TDLXCommandLineProcessor::FindSwitch(text, name, value)) {
    EXPECT_EQ(value, u"") << "a missing switch gives an empty value";
    return u"<missing>";
  }
  return value;
}

}  // namespace

TEST(CommandLine, SwitchesAreFoundIgnoringCase) {
  EXPECT_TRUE(TDLXCommandLineProcessor::HasSwitch(u"/silent", u"SILENT"));
  EXPECT_TRUE(TDLXCommandLineProcessor::HasSwitch(u"-Auto /SILENT", u"auto"));
  EXPECT_FALSE(TDLXCommandLineProcessor::HasSwitch(u"/SILENTLY", u"SILENT"));
  EXPECT_FALSE(TDLXCommandLineProcessor::HasSwitch(u"", u"AUTO"));
  EXPECT_FALSE(TDLXCommandLineProcessor::HasSwitch(u"AUTO", u"AUTO")) << "no prefix, no switch";
  EXPECT_EQ(Find(u"/AUTO", u"AUTO"), u"");
  EXPECT_EQ(Find(u"/AUTO=", u"AUTO"), u"");
  EXPECT_EQ(Find(u"/AUTO", u"PATH"), u"<missing>");
  EXPECT_EQ(Find(u"/AUTO=first /AUTO=second", u"AUTO"), u"first") << "the first occurrence answers";
}

TEST(CommandLine, ValueListsAndQuoting) {
  EXPECT_EQ(Find(u"/AUTO=a;b", u"AUTO"), u"a;b");
  EXPECT_EQ(Describe(u"/AUTO=a;b"), (std::vector<String>{u"AUTO:a|b"}));
  EXPECT_EQ(Find(u"/AUTO=\"a b\"", u"AUTO"), u"a b");
  EXPECT_EQ(Describe(u"/AUTO=a b"), (std::vector<String>{u"AUTO:a", u":b"}))
      << "a blank closes the value list";
  EXPECT_EQ(Find(u"/AUTO=C:\\my-app", u"AUTO"), u"C:\\my-app");
  EXPECT_EQ(Find(u"/AUTO=\"abc", u"AUTO"), u"abc") << "a lone quote is dropped from a value list";
  EXPECT_EQ(Find(u"/PATH=\"C:\\Program Files\\ZUVA\\\" /SILENT", u"PATH"), u"C:\\Program Files\\ZUVA\\")
      << "the backslash does not escape the closing quote";
  EXPECT_EQ(Find(u"/A=x/y=z", u"A"), u"x/y=z") << "delimiters inside a value list stay in it";
  EXPECT_EQ(Find(u"/A=\"  padded  \"", u"A"), u"padded");
  EXPECT_EQ(Find(u"/A=;;x;", u"A"), u"x") << "empty values are dropped";
}

TEST(CommandLine, WordsAfterASwitchBecomeItsValues) {
  EXPECT_EQ(Find(u"/PATH C:\\Data", u"PATH"), u"C:\\Data");
  EXPECT_EQ(Find(u"/AUTO foo", u"AUTO"), u"foo");
  EXPECT_EQ(Describe(u"/PATH C:\\a D:\\b"), (std::vector<String>{u"PATH:C:\\a|D:\\b"}))
      << "a drive starts a new value";
  EXPECT_EQ(Describe(u"/PATH \\\\srv\\share\\x C:\\y"),
            (std::vector<String>{u"PATH:\\\\srv\\share\\x|C:\\y"}));
  EXPECT_EQ(Describe(u"/PATH my folder"), (std::vector<String>{u"PATH:my folder"}));
  EXPECT_EQ(Describe(u"/A /B"), (std::vector<String>{u"A:", u"B:"}));
}

TEST(CommandLine, HyphensAndSlashesThatAreNotSwitches) {
  EXPECT_EQ(Describe(u"a -b"), (std::vector<String>{u":a -b"})) << "no command yet and text pending";
  EXPECT_EQ(Describe(u"-b"), (std::vector<String>{u"b:"}));
  EXPECT_EQ(Describe(u"/AUTO x -b"), (std::vector<String>{u"AUTO:x", u"b:"}));
  EXPECT_EQ(Describe(u"a / b"), (std::vector<String>{u":a / b"})) << "a prefix without a name is text";
  EXPECT_EQ(Describe(u"/A x-y"), (std::vector<String>{u"A:x-y"}));
  EXPECT_EQ(Describe(u"/A line1\r\nline2"), (std::vector<String>{u"A:line1|line2"}))
      << "line breaks end values";
  EXPECT_TRUE(Describe(u"  \t ").empty());
}

TEST(CommandLine, ArgumentsWithoutTheProgramPath) {
  EXPECT_EQ(GetCommandLineArgsFrom(u""), u"");
  EXPECT_EQ(GetCommandLineArgsFrom(u"  setup.exe  "), u"");
  EXPECT_EQ(GetCommandLineArgsFrom(u"\"C:\\Program Files\\ZUVA\\Setup.exe\" /AUTO"), u"/AUTO");
  EXPECT_EQ(GetCommandLineArgsFrom(u"'C:\\a b\\s.exe'\t/AUTO=\"x y\"  \r\n"), u"/AUTO=\"x y\"");
  EXPECT_EQ(GetCommandLineArgsFrom(u"C:\\Setup.exe /SILENT /AUTO"), u"/SILENT /AUTO");
  EXPECT_EQ(GetCommandLineArgsFrom(String(u"\"a.exe\"\t\0/X", 11)), u"/X");
  // Only the blank and line breaks end a bare program path.
  EXPECT_EQ(GetCommandLineArgsFrom(u"a.exe\t/X"), u"");
#ifdef _WIN32
  // The test program runs without arguments beyond the ones gtest got, which are ours to see.
  EXPECT_EQ(GetCommandLineArgs().find(u"dlx_tests"), String::npos);
#endif
}

TEST(CommandLine, RebuiltCommandLinesParseBack) {
  const String line = FormatSwitch(u"PATH", u"C:\\Program Files\\ZUVA\\", u"/AUTO /SILENT");
  EXPECT_EQ(line, u"/PATH=\"C:\\Program Files\\ZUVA\\\" /AUTO /SILENT");
  EXPECT_EQ(Find(line, u"PATH"), u"C:\\Program Files\\ZUVA\\");
  EXPECT_TRUE(TDLXCommandLineProcessor::HasSwitch(line, u"SILENT"));
  EXPECT_EQ(FormatSwitch(u"SKIPUAC", int64_t{-1234}, u""), u"/SKIPUAC=-1234 ");
  EXPECT_EQ(Find(FormatSwitch(u"SKIPUAC", int64_t{65802}, u"/AUTO"), u"SKIPUAC"), u"65802");
  // A quote in the value would end it early and smuggle the rest in as further switches.
  EXPECT_THROW(FormatSwitch(u"PATH", u"x\" /SILENT \"", u""), EDLXException);
}

// Programs that build a command line from a list of arguments quote every argument that holds a
// blank, the switch included; both spellings must mean the same.
TEST(CommandLine, WholeQuotedSwitchesMeanTheSameAsQuotedValues) {
  struct Case {
    const char16_t* quotedValue;
    const char16_t* quotedWhole;
    std::vector<String> expected;
  };
  const Case cases[] = {
      {u"/AUTO=\"C:\\My Apps\\ZUVA\"", u"\"/AUTO=C:\\My Apps\\ZUVA\"", {u"AUTO:C:\\My Apps\\ZUVA"}},
      {u"/AUTO=\"D:\\Müsik Ærø\\ZUVA\\\"",
       u"\"/AUTO=D:\\Müsik Ærø\\ZUVA\\\"",
       {u"AUTO:D:\\Müsik Ærø\\ZUVA\\"}},
      {u"/SILENT", u"\"/SILENT\"", {u"SILENT:"}},
      {u"-AUTO=\"a b\"", u"\"-AUTO=a b\"", {u"AUTO:a b"}},
      {u"/AUTO=\"\"", u"\"/AUTO=\"", {u"AUTO:"}},
      {u"/AUTO=\"C:\\x y\" /SILENT /LOG=\"C:\\x y\\l.log\"",
       u"\"/AUTO=C:\\x y\" /SILENT \"/LOG=C:\\x y\\l.log\"",
       {u"AUTO:C:\\x y", u"SILENT:", u"LOG:C:\\x y\\l.log"}},
      {u"/PATH C:\\Data", u"\"/PATH\" C:\\Data", {u"PATH:C:\\Data"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Describe(c.quotedValue), c.expected) << ToUtf8(c.quotedValue);
    EXPECT_EQ(Describe(c.quotedWhole), c.expected) << ToUtf8(c.quotedWhole);
  }
  // Inside a whole quoted switch ";" still separates values, and blanks around them go.
  EXPECT_EQ(Describe(u"\"/AUTO=a b; c;;d \" /RUN"), (std::vector<String>{u"AUTO:a b|c|d", u"RUN:"}));
  EXPECT_EQ(Find(u"\"/AUTO=a b; c\"", u"AUTO"), u"a b;c");
  EXPECT_EQ(Find(u"x \"/AUTO=C:\\a b\"", u"auto"), u"C:\\a b") << "after a nameless value";
}

TEST(CommandLine, OtherQuotedTextsStayValues) {
  EXPECT_EQ(Describe(u"\"C:\\My Apps\""), (std::vector<String>{u":C:\\My Apps"}));
  EXPECT_EQ(Describe(u"\"/\" \"/=x\""), (std::vector<String>{u":/|/=x"})) << "no name";
  EXPECT_EQ(Describe(u"\"/AUTO x\""), (std::vector<String>{u":/AUTO x"})) << "a name not followed by =";
  EXPECT_EQ(Describe(u"\"/A/B\""), (std::vector<String>{u":/A/B"}));
  EXPECT_EQ(Describe(u"a \"-b\""), (std::vector<String>{u":a|-b"})) << "the hyphen rule holds in quotes";
  EXPECT_EQ(Describe(u"/A=\"x\"\"/B\""), (std::vector<String>{u"A:x|/B"})) << "not in switch position";
  // Quotes escaped with backslashes inside a whole argument are no whole switch: no folder is read
  // out of its pieces, and nothing is installed instead of installing somewhere wrong.
  EXPECT_FALSE(TDLXCommandLineProcessor::HasSwitch(u"\"/AUTO=\\\"C:\\x y\\\"\" /SILENT", u"AUTO"));
  EXPECT_TRUE(TDLXCommandLineProcessor::HasSwitch(u"\"/AUTO=\\\"C:\\x y\\\"\" /SILENT", u"SILENT"));
}
