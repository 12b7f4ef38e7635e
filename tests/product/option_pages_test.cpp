// The option pages on the real wizard form over the setup's own material, driven by the messages
// a user's clicks and keystrokes produce.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "core/installer.h"
#include "core/resources.h"
#include "lib/ui/edit.h"
#include "product/addons_page.h"
#include "product/integration_page.h"
#include "product/setup_page.h"
#include "product/uninstall_params_page.h"
#include "tests/product/product_test_support.h"
#include "ui/informational_pages.h"
#include "ui/installer_form.h"

namespace producttest {
namespace {

using testenv::Entry;

std::vector<Entry> SetupMaterial() {
  std::vector<Entry> material;
  for (const char16_t* name :
       {u"Install.xml", u"English.lng", u"Russian.lng", u"License_EN.rtf", u"header.png", u"header_dark.png",
        u"wizard_light.png", u"wizard_dark.png", u"addons.ini", u"addons.png"}) {
    std::ifstream file(std::filesystem::path(ZUVA_SETUP_MATERIAL) / dlx::ToUtf8(name), std::ios::binary);
    material.push_back({name, std::string(std::istreambuf_iterator<char>(file), {})});
    if (material.back().bytes.empty()) ADD_FAILURE() << "missing setup material " << dlx::ToUtf8(name);
  }
  return material;
}

template <typename T>
T& Child(dlx::TDLXCustomControl& parent, const String& name) {
  for (dlx::TDLXCustomControl* control : parent.Controls())
    if (auto* typed = dynamic_cast<T*>(control); typed && control->Name() == name) return *typed;
  throw std::runtime_error("the page has no control " + dlx::ToUtf8(name));
}

dlx::TDLXCheckBox& Box(dlx::TDLXCustomControl& page, const String& name) {
  return Child<dlx::TDLXCheckBox>(page, name);
}

std::vector<String> Warnings(dlx::TDLXCustomControl& page) {
  std::vector<String> texts;
  for (dlx::TDLXCustomControl* control : page.Controls())
    if (dynamic_cast<dlx::TDLXValidationLabel*>(control) && control->Visible())
      texts.push_back(control->Caption());
  return texts;
}

// What a click on the edit's text and a typed character do.
void TypeAt(dlx::TDLXEdit& edit, int position, wchar_t character) {
  SendMessageW(edit.Handle(), EM_SETSEL, position, position);
  SendMessageW(edit.Handle(), WM_CHAR, character, 1);
}

DWORD Caret(dlx::TDLXEdit& edit) {
  DWORD start = 0;
  SendMessageW(edit.Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
  return start;
}

class OptionPagesTest : public ProductTest {
 protected:
  void TearDown() override {
    form_.reset();
    installer_.reset();
    ProductTest::TearDown();
  }
  void MakeInstaller(LANGID language = 1033, std::vector<Entry> product = {}) {
    installer_ = Create(u"", SetupMaterial(), std::move(product));
    installer_->Resources().InitializeLanguages(language);
  }
  // The form over the pages the product names (a test's own list when given), showing the first.
  void MakeForm(std::vector<TInstallerPageClass> pages = {}) {
    TInstallerForm::TPageFiller filler;
    if (!pages.empty())
      filler = [pages](TInstallerPageList& list) {
        for (TInstallerPageClass page : pages) list.AddPage(page);
      };
    form_ = dlx::TDLXForm::Create<TInstallerForm>(TInstallerFormPages{}, filler);
    form_->Show();
  }
  TInstallerCustomPage* Active() { return form_->Navigator().ActivePage(); }
  template <typename T>
  T& ActiveAs() {
    auto* page = dynamic_cast<T*>(Active());
    if (!page) throw std::runtime_error("another page is shown");
    return *page;
  }
  std::vector<String> PageNames() {
    std::vector<String> names;
    for (int i = 0; i < form_->Pages().Count(); ++i) names.push_back(form_->Pages().Items(i)->Name());
    return names;
  }
  TInstallerPageSetup& ShowSetupPage() {
    MakeInstaller();
    MakeForm({&CreateInstallerPage<TInstallerPageSetup>, &CreateInstallerPage<TInstallerPageIntegration>,
              &CreateInstallerPage<TInstallerPageReadyToInstall>});
    return ActiveAs<TInstallerPageSetup>();
  }
  dlx::TDLXEdit& PathEdit(TInstallerPageSetup& page) { return Child<dlx::TDLXEdit>(page, u"PathEdit"); }
  void TypePath(TInstallerPageSetup& page, const String& text) {
    SetWindowTextW(PathEdit(page).Handle(), dlx::W(text));
  }
  String Text(const String& section, const String& key) {
    return installer_->Resources().GetString(section, key);
  }

  std::unique_ptr<TInstaller> installer_;
  std::unique_ptr<TInstallerForm> form_;
};

TEST_F(OptionPagesTest, TheProductNamesItsPagesForTheRun) {
  struct Case {
    const char* name;
    LANGID language;
    bool uninstall;
    std::vector<String> pages;
  };
  const Case cases[] = {
      {"install",
       1033,
       false,
       {u"PageWelcome", u"PageLicense", u"PageSetup", u"PageIntegration", u"PageReadyToInstall"}},
      {"install in Russian",
       1049,
       false,
       {u"PageWelcome", u"PageLicense", u"PageSetup", u"PageAddons", u"PageIntegration",
        u"PageReadyToInstall"}},
      {"uninstall", 1033, true, {u"PageUninstallParams"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Entry> product;
    if (c.uninstall) product.push_back({u"Uninstall.ini", "[Files]\r\n"});
    MakeInstaller(c.language, product);
    MakeForm();
    EXPECT_EQ(PageNames(), c.pages);
    form_.reset();
    installer_.reset();
  }
}

// The boxes, the radios and the warnings follow the installation found in the folder typed.
TEST_F(OptionPagesTest, SetupPageFollowsTheInstallationInTheDestination) {
  String copyFolder;
  ASSERT_FALSE(TProductInfoZUVA::FindInstalledCopy(copyFolder))
      << "this machine has a copy: " << dlx::ToUtf8(copyFolder);
  struct Case {
    const char* name;
    std::string config;  // ZUVA.ini; empty for none
    bool updateShown, updateChecked, backupShown, portableChecked, radiosEnabled;
    std::vector<const char16_t*> warnings;
  };
  // In this order: leaving the update of a portable copy keeps the run portable.
  const Case cases[] = {
      {"empty folder", "", false, false, false, false, true, {}},
      {"too new to update", "[System]\r\nVersion=5100\r\n", false, false, false, false, true, {u"W3"}},
      {"updatable", "[System]\r\nVersion=4500\r\nUserMode=1\r\n", true, true, true, false, false, {u"W1"}},
      {"updatable portable",
       "[System]\r\nVersion=4500\r\nUserMode=0\r\n",
       true,
       true,
       true,
       true,
       false,
       {u"W1"}},
  };
  TInstallerPageSetup& page = ShowSetupPage();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder(u"setup page");
    if (!c.config.empty()) WriteFile(folder.Path() + u"ZUVA.ini", c.config);
    TypePath(page, folder.Path());
    EXPECT_EQ(installer_->DestPath(), folder.Path());
    EXPECT_EQ(Box(page, u"CB1").Visible(), c.updateShown);
    EXPECT_EQ(Box(page, u"CB1").Checked(), c.updateChecked);
    EXPECT_EQ(Box(page, u"CB4").Visible(), c.backupShown);
    EXPECT_TRUE(Box(page, u"CB4").Checked());
    EXPECT_EQ(Box(page, u"CB3").Checked(), c.portableChecked);
    EXPECT_EQ(Box(page, u"CB2").Checked(), !c.portableChecked);
    EXPECT_EQ(Box(page, u"CB3").Enabled(), c.radiosEnabled);
    EXPECT_EQ(Box(page, u"CB2").Enabled(), c.radiosEnabled);
    std::vector<String> expected;
    for (const char16_t* key : c.warnings) expected.push_back(Text(u"PageSetup", key));
    EXPECT_EQ(Warnings(page), expected);
    EXPECT_EQ(form_->Pages().Items(1)->IsAvailable(), !c.updateChecked);
    if (!c.updateChecked) continue;

    // No backup, then no update: the installation is replaced, in the mode it had.
    Box(page, u"CB4").Click();
    EXPECT_TRUE(installer_->HasOption(ioNoBackup));
    Box(page, u"CB1").Click();
    EXPECT_FALSE(installer_->HasOption(ioUpdate));
    EXPECT_FALSE(Box(page, u"CB4").Visible());
    EXPECT_TRUE(Box(page, u"CB3").Enabled());
    EXPECT_EQ(Box(page, u"CB3").Checked(), c.portableChecked);
    EXPECT_EQ(Warnings(page), std::vector<String>{Text(u"PageSetup", u"W3")});
    EXPECT_EQ(form_->Pages().Items(1)->IsAvailable(), !c.portableChecked);
    Box(page, u"CB1").Click();
    EXPECT_TRUE(installer_->HasOption(ioUpdate));
    EXPECT_FALSE(Box(page, u"CB4").Checked());
    Box(page, u"CB4").Click();
    EXPECT_FALSE(installer_->HasOption(ioNoBackup));
  }
}

// Portable moves a program-files destination to the desktop and normal moves it back; a folder
// the user chose stays where it is.
TEST_F(OptionPagesTest, ModeSwitchMovesOnlyTheDefaultDestinations) {
  TInstallerPageSetup& page = ShowSetupPage();
  TInstallerProductInfo& info = installer_->ProductInfo();
  TypePath(page, installer_->Resources().ProgramFilesPath() + u"ZUVA Pages\\");
  ASSERT_TRUE(installer_->IsDestUnderProgramFiles());
  Box(page, u"CB3").Click();
  EXPECT_TRUE(installer_->HasOption(ioPortable));
  EXPECT_EQ(installer_->DestPath(), info.GetDefaultPortablePath());
  EXPECT_EQ(PathEdit(page).Text(), info.GetDefaultPortablePath());
  EXPECT_FALSE(Box(page, u"CB2").Checked());
  Box(page, u"CB2").Click();
  EXPECT_FALSE(installer_->HasOption(ioPortable));
  EXPECT_EQ(installer_->DestPath(), info.GetDefaultPath());
  EXPECT_EQ(PathEdit(page).Text(), info.GetDefaultPath());

  TempFolder chosen(u"chosen");
  TypePath(page, chosen.Path());
  for (const char16_t* radio : {u"CB3", u"CB2"}) {
    Box(page, radio).Click();
    EXPECT_EQ(installer_->DestPath(), chosen.Path());
    EXPECT_EQ(installer_->HasOption(ioPortable), String(radio) == u"CB3");
  }
}

// Typing applies every keystroke without touching the edit's text or caret; a folder the installer
// refuses (a drive root on the way to a longer path) or none at all hold Next back.
TEST_F(OptionPagesTest, TypedPathFollowsEveryKeystrokeAndKeepsTheCaret) {
  TInstallerPageSetup& page = ShowSetupPage();
  dlx::TDLXEdit& edit = PathEdit(page);
  TempFolder old(u"typed");
  WriteFile(old.Path() + u"ZUVA.ini", "[System]\r\nVersion=4500\r\n");
  // The folder without its last character, in the slashes a user might type.
  String typed = dlx::ExcludeTrailingPathDelimiter(old.Path());
  const wchar_t last = static_cast<wchar_t>(typed.back());
  typed.pop_back();
  for (char16_t& c : typed)
    if (c == u'\\') c = u'/';
  TypePath(page, typed);
  EXPECT_FALSE(Box(page, u"CB1").Visible());
  TypeAt(edit, static_cast<int>(typed.size()), last);
  EXPECT_EQ(edit.Text(), typed + String(1, static_cast<char16_t>(last)));
  EXPECT_EQ(Caret(edit), typed.size() + 1);
  EXPECT_EQ(installer_->DestPath(), old.Path());
  EXPECT_TRUE(Box(page, u"CB1").Visible());
  EXPECT_EQ(Warnings(page), std::vector<String>{Text(u"PageSetup", u"W1")});
  // In the middle of the text.
  TypeAt(edit, 3, L'x');
  EXPECT_EQ(Caret(edit), 4u);
  EXPECT_EQ(edit.Text().substr(0, 4), typed.substr(0, 3) + u"x");
  EXPECT_FALSE(Box(page, u"CB1").Visible());
  EXPECT_TRUE(form_->NextButton().Enabled());

  struct Case {
    const char16_t* text;
    bool refused;
  };
  for (const Case& c : {Case{u"C:\\", true}, Case{u"", false}}) {
    TypePath(page, c.text);
    EXPECT_EQ(installer_->DestPath(), u"");
    EXPECT_EQ(edit.Text(), c.text);
    EXPECT_FALSE(form_->NextButton().Enabled());
    EXPECT_EQ(Warnings(page).size(), c.refused ? 1u : 0u);
    // Another choice on the page keeps the refused text for the user to correct.
    Box(page, u"CB3").Click();
    EXPECT_EQ(edit.Text(), c.text);
  }
  TypePath(page, old.Path());
  EXPECT_TRUE(form_->NextButton().Enabled());
  EXPECT_EQ(Warnings(page).size(), 1u);
}

TEST_F(OptionPagesTest, BrowsedFolderGetsTheProductFolderUnlessItIsOne) {
  const struct {
    const char16_t* chosen;
    const char16_t* expected;
  } cases[] = {
      {u"D:\\Apps", u"D:\\Apps\\ZUVA"},
      {u"D:\\Apps\\", u"D:\\Apps\\ZUVA"},
      {u"D:\\Apps\\zuva", u"D:\\Apps\\zuva\\"},
      {u"D:\\ZUVA\\", u"D:\\ZUVA\\"},
      {u"D:\\", u"D:\\ZUVA"},
      {u"D:\\ZUVA Old", u"D:\\ZUVA Old\\ZUVA"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TInstallerPageSetup::BrowsedDestination(c.chosen, u"ZUVA"), c.expected);
}

// Chosen portable on the setup page, the integration page is skipped both ways.
TEST_F(OptionPagesTest, IntegrationPageIsSkippedForPortableInstallations) {
  TInstallerPageSetup& page = ShowSetupPage();
  TempFolder folder(u"portable");
  TypePath(page, folder.Path());
  Box(page, u"CB3").Click();
  form_->NextButton().Click();
  EXPECT_NE(dynamic_cast<TInstallerPageReadyToInstall*>(Active()), nullptr);
  form_->BackButton().Click();
  EXPECT_EQ(Active(), &page);
  Box(page, u"CB2").Click();
  form_->NextButton().Click();
  auto& integration = ActiveAs<TInstallerPageIntegration>();
  // A normal installation starts with everything on; the page writes only when clicked.
  for (const char16_t* box : {u"CB1", u"CB2", u"CB3", u"CB4", u"CB5"})
    EXPECT_TRUE(Box(integration, box).Checked());
  EXPECT_EQ(installer_->Settings().ReadSectionText(u"Integration"), u"");
  Box(integration, u"CB3").Click();
  EXPECT_EQ(installer_->Settings().ReadSectionText(u"Integration"),
            u"ShortcutDesktop=1\r\nShortcutStartMenu=1\r\nAssociateWithFiles=0\r\nIntegrateToWindows=1\r\n"
            u"RegisterContextMenu=1\r\n");
}

TEST_F(OptionPagesTest, AddonsAreStoredOnceShownAndUninstallOptionsOnlyWhenClicked) {
  MakeInstaller(1049);
  MakeForm({&CreateInstallerPage<TInstallerPageAddons>, &CreateInstallerPage<TInstallerPageUninstallParams>});
  dlx::TDLXIniFile& settings = installer_->Settings();
  EXPECT_EQ(settings.ReadSectionText(u"Common"),
            u"AddonsViewer=1\r\nAddonsExtensions=1\r\nAddonsShortcuts=1\r\n");
  auto& addons = ActiveAs<TInstallerPageAddons>();
  Box(addons, u"CB2").Click();
  EXPECT_FALSE(settings.ReadBool(u"Common", u"AddonsExtensions", true));

  form_->NextButton().Click();
  auto& uninstall = ActiveAs<TInstallerPageUninstallParams>();
  EXPECT_FALSE(Box(uninstall, u"CB1").Checked());
  EXPECT_FALSE(settings.ValueExists(u"Common", u"RemoveBackups"));
  EXPECT_FALSE(settings.ValueExists(u"Common", u"RemoveContent"));
  Box(uninstall, u"CB2").Click();
  EXPECT_FALSE(settings.ReadBool(u"Common", u"RemoveBackups", true));
  EXPECT_TRUE(settings.ReadBool(u"Common", u"RemoveContent", false));

  // Back again: the page shows what was chosen, not the defaults.
  form_->BackButton().Click();
  EXPECT_FALSE(Box(addons, u"CB2").Checked());
  EXPECT_TRUE(Box(addons, u"CB1").Checked());
}

}  // namespace
}  // namespace producttest
