#include "core/product_info.h"

#include "core/errors.h"
#include "core/installer.h"
#include "core/resources.h"
#include "tests/core/installer_fixture.h"

using namespace testenv;
using dlx::String;

namespace {

std::string ScriptWithSettings(const std::string& settings) {
  return "<Install><product><Settings>" + settings + "</Settings></product></Install>";
}

}  // namespace

TEST_F(EngineTest, IdentityComesFromTheScriptSettings) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  auto& info = installer->ProductInfo();
  EXPECT_EQ(info.GetName(), u"ZUVA Test");
  EXPECT_EQ(info.GetPublisher(), u"ZUVA Team");
  EXPECT_EQ(info.GetVersion(), u"5.03");
  EXPECT_EQ(info.GetVersionId(), 5030);
  EXPECT_EQ(info.GetVersionNo(), u"5.0.3");
  EXPECT_EQ(info.GetFullVersion(), u"5.03, 2026-11-30");
  EXPECT_EQ(info.GetHomePage(), u"https://zuva.example/");
  EXPECT_EQ(info.GetDefaultPath(), installer->Resources().ProgramFilesPath() + u"ZUVA Test\\");
  const String portable = info.GetDefaultPortablePath();
  EXPECT_GT(portable.size(), String(u"ZUVA Test\\").size());
  EXPECT_EQ(portable.substr(portable.size() - 10), u"ZUVA Test\\");
}

TEST_F(EngineTest, OddSettingsGiveZeroVersionAndATrailingSeparator) {
  auto installer = Create(
      u"/AUTO=D:\\Apps", {{u"Install.xml", ScriptWithSettings("<S name=\"ProductName\" value=\"P\"/>"
                                                              "<S name=\"ProductVersionId\" value=\"5.03\"/>"
                                                              "<S name=\"ProductVersion\" value=\"5.03\"/>")},
                          {u"English.lng", EnglishLng()}});
  auto& info = installer->ProductInfo();
  EXPECT_EQ(info.GetVersionId(), 0);
  EXPECT_EQ(info.GetFullVersion(), u"5.03, ");
}

TEST_F(EngineTest, InstalledVersionTextHasTwoMinorDigits) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  auto& info = installer->ProductInfo();
  const std::pair<int, const char16_t*> cases[] = {
      {4511, u"4.51"}, {5030, u"5.03"}, {0, u"0.00"}, {10009, u"10.00"}, {1999, u"1.99"}};
  for (auto [version, text] : cases) {
    Product().installedVersion = version;
    EXPECT_EQ(info.GetInstalledVersionText(), text) << version;
  }
}

TEST(SummaryBuilder, HeadersAreWrittenOnlyBeforeTheirFirstLine) {
  TInstallerSummaryBuilder builder;
  EXPECT_EQ(builder.ToString(), u"");
  builder.SetHeader(u"Ignored");
  builder.SetHeader(u"H1");
  builder.AddLine(u"L1");
  builder.AddLine(u"L2");
  builder.SetHeader(u"Unused");
  builder.SetHeader(u"H2");
  builder.AddLine(u"L3");
  builder.SetHeader(u"Trailing");
  EXPECT_EQ(builder.ToString(), u"H1\r\n    L1\r\n    L2\r\n\r\nH2\r\n    L3\r\n");

  TInstallerSummaryBuilder headersOnly;
  headersOnly.SetHeader(u"A");
  headersOnly.SetHeader(u"B");
  EXPECT_EQ(headersOnly.ToString(), u"");

  TInstallerSummaryBuilder noHeader;
  noHeader.AddLine(u"x");
  EXPECT_EQ(noHeader.ToString(), u"    x\r\n");
}

TEST_F(EngineTest, SummaryTextsComeFromTheLanguageWithVariables) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  installer->Resources().InitializeLanguages(1033);
  TInstallerSummaryBuilder builder;
  builder.SetHeaderText(u"Ready", u"Header");
  builder.AddLineText(u"Ready", u"Line");
  EXPECT_EQ(builder.ToString(), u"Ready to install ZUVA Test\r\n    Destination: D:\\Apps\\\r\n");
}

TEST(FormatText, FillsPlaceholdersInOrderAndNeverReadsPastTheArguments) {
  EXPECT_EQ(FormatText(u"Cannot install update on v%s", {u"4.51"}), u"Cannot install update on v4.51");
  EXPECT_EQ(FormatText(u"%s -> %s", {u"a", u"b"}), u"a -> b");
  EXPECT_EQ(FormatText(u"%s and %s", {u"only"}), u"only and ");
  EXPECT_EQ(FormatText(u"none", {u"x"}), u"none");
  EXPECT_EQ(FormatText(u"100%% %d%", {u"7"}), u"100% 7%");
}
