// Set-up shared by the tests of the product's actions: an installer over a script with the
// shortcuts and texts these actions use, installing into a scratch folder.
#pragma once

#include <string>
#include <vector>

#include "tests/core/extract_test_env.h"

namespace productenv {

using dlx::String;
using extractenv::Entry;

struct Shortcut {
  String link;    // the name attribute, e.g. "$DESKTOP\\a.lnk"
  String target;  // the element's text
};

inline std::string ScriptWithShortcuts(const std::vector<Shortcut>& shortcuts) {
  std::string xml = extractenv::ScriptWith({{u"$DEST\\app.exe"}});
  std::string list = "  <Shortcuts>\n";
  for (const auto& s : shortcuts)
    list += "   <File name=\"" + dlx::ToUtf8(s.link) + "\">" + dlx::ToUtf8(s.target) + "</File>\n";
  list += "  </Shortcuts>\n";
  xml.insert(xml.find(" </product>"), list);
  return xml;
}

inline std::string ProductTexts() {
  return "[File]\r\nFamily=EN\r\nName=English\r\nLangId=1033\r\n"
         "[Common]\r\nA2=Creating shortcuts...\r\nA8=Closing $NAME...\r\nA9=Removing $NAME...\r\n"
         "E7=$NAME is running: its windows (%s) did not close within %s seconds.\r\n"
         "[PageIntegration]\r\nLB1=Shortcuts\r\nCB1=Desktop\r\nCB2=Start menu\r\nLB2=Integration\r\n"
         "CB3=Associate\r\nCB4=Register\r\nCB5=Context menu\r\n"
         "[PageAddons]\r\nTitle=Add-ons\r\nCB1=Viewer\r\nCB2=Extensions\r\nCB3=Add-on shortcuts\r\n";
}

// An installer for the destination with the given switches and shortcuts; uninstall mode when
// an uninstall log is given.
class ProductTest : public testenv::EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    dest_ = std::make_unique<extractenv::TScratchFolder>();
  }
  void TearDown() override {
    installer_.reset();
    dest_.reset();
    EngineTest::TearDown();
  }
  TInstaller& Make(const String& args, const std::vector<Shortcut>& shortcuts = {},
                   const std::string& uninstallLog = {}, std::vector<Entry> extraSetup = {}) {
    std::vector<Entry> product;
    if (!uninstallLog.empty()) product.push_back({u"Uninstall.ini", uninstallLog});
    std::vector<Entry> setup = {{u"Install.xml", ScriptWithShortcuts(shortcuts)},
                                {u"English.lng", ProductTexts()}};
    setup.insert(setup.end(), extraSetup.begin(), extraSetup.end());
    installer_ = Create(args, std::move(setup), std::move(product));
    installer_->Resources().InitializeLanguages(1033);
    if (!uninstallLog.empty()) installer_->SetDestPath(Dest());
    return *installer_;
  }
  TInstaller& MakeInstall(const String& extraArgs = {}, const std::vector<Shortcut>& shortcuts = {}) {
    return Make(u"/AUTO=\"" + dlx::ExcludeTrailingPathDelimiter(Dest()) + u"\"" + extraArgs, shortcuts);
  }
  const String& Dest() const { return dest_->Path(); }

  std::unique_ptr<extractenv::TScratchFolder> dest_;
  std::unique_ptr<TInstaller> installer_;
};

}  // namespace productenv
