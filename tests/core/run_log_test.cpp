#include "core/run_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/exceptions.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "tests/core/entry_test_support.h"

using dlx::String;
using entrytest::TempFolder;

TEST(RunLog, IgnoredArgumentsAreNamed) {
  struct Case {
    const char16_t* args;
    std::vector<String> lines;
  };
  const Case cases[] = {
      {u"/AUTO=C:\\My Apps\\ZUVA /SILENT",
       {u"Ignored \"Apps\\ZUVA\": it belongs to no switch (a value holding blanks must be quoted)"}},
      {u"/AUTO /SILNT", {u"Ignored /SILNT: unknown switch"}},
      {u"/AUTO /SILENT foo", {u"Ignored \"foo\": /SILENT takes no value"}},
      {u"/AUTO=a /auto=b", {u"Ignored /auto=b: only the first /auto counts"}},
      {u"/AUTO=\"a b\" /SILENT /X=1;2", {u"Ignored /X=1;2: unknown switch"}},
      // Every switch the program reads, in both quoting styles: nothing is ignored.
      {u"\"/AUTO=C:\\x y\" \"/LOG=C:\\x y\\l.log\" /silent /SUPPRESSMSGBOXES /NOBACKUP /RUN /PORTABLE "
       u"/UPDATE /PATH=\"C:\\p q\\\" /SKIPUAC=12 /?",
       {}},
  };
  for (const Case& c : cases) EXPECT_EQ(IgnoredArguments(c.args), c.lines) << dlx::ToUtf8(c.args);
}

class RunLogFile : public ::testing::Test {
 protected:
  void TearDown() override { dlx::TDLXLog::Close(); }
  // The message OpenLogFromCommandLine refuses the log with, or "" when it opened it.
  static String Refusal(const String& file) {
    try {
      EXPECT_TRUE(OpenLogFromCommandLine(u"/AUTO \"/LOG=" + file + u"\""));
      return String();
    } catch (const dlx::EDLXException& e) {
      EXPECT_FALSE(dlx::TDLXLog::IsOpen());
      return e.Message();
    }
  }
  TempFolder folder_{u"log"};
};

// Folder creation is checked through the entry and end to end; here the reasons for a refusal.
TEST_F(RunLogFile, ALogThatCannotBeWrittenIsRefusedWithTheReason) {
  EXPECT_FALSE(OpenLogFromCommandLine(u"/AUTO /SILENT")) << "no /LOG, no log";
  ASSERT_TRUE(dlx::ForceDirectories(folder_.Path() + u"taken.log"));
  entrytest::WriteFile(folder_.Path() + u"plain-file", "x");
  struct Case {
    String file;
    const char16_t* reason;
  };
  const Case cases[] = {
      {folder_.Path() + u"taken.log", u"a folder of that name exists"},
      {folder_.Path() + u"plain-file\\sub\\install.log", u"its folder cannot be created"},
      {folder_.Path() + u"bad|name.log", u"System Error.  Code: "},
  };
  for (const Case& c : cases) {
    const String message = Refusal(c.file);
    EXPECT_NE(message.find(u"Setup cannot write the log \"" + c.file + u"\""), String::npos)
        << dlx::ToUtf8(message);
    EXPECT_NE(message.find(c.reason), String::npos) << dlx::ToUtf8(message);
  }
}
