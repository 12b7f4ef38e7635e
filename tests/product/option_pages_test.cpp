// The option pages on the real wizard form over the setup's own material, driven by the messages
// a user's clicks and keystrokes produce.
#include <windows.h>

#include <algorithm>
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
  // The form over the pages the product names, or over the given ones; the first is shown.
  void MakeForm(std::vector<TInstallerPageClass> pages = {}, LANGID language = 1033,
                std::vector<Entry> product = {}, std::vector<Entry> setup = SetupMaterial()) {
    installer_ = Create(u"", std::move(setup), std::move(product));
    installer_->Resources().InitializeLanguages(language);
    TInstallerForm::TPageFiller filler;
    if (!pages.empty())
      filler = [pages](TInstallerPageList& list) {
        for (TInstallerPageClass page : pages) list.AddPage(page);
      };
    form_ = dlx::TDLXForm::Create<TInstallerForm>(TInstallerFormPages{}, filler);
    form_->Show();
  }
  template <typename T>
  T& Active() {
    auto* page = dynamic_cast<T*>(form_->Navigator().ActivePage());
    if (!page) throw std::runtime_error("another page is shown");
    return *page;
  }
  TInstallerPageSetup& ShowSetupPage() {
    MakeForm({&CreateInstallerPage<TInstallerPageSetup>, &CreateInstallerPage<TInstallerPageIntegration>,
              &CreateInstallerPage<TInstallerPageReadyToInstall>});
    return Active<TInstallerPageSetup>();
  }
  static dlx::TDLXEdit& PathEdit(TInstallerPageSetup& page) {
    return Child<dlx::TDLXEdit>(page, u"PathEdit");
  }
  static void TypePath(TInstallerPageSetup& page, const String& text) {
    SetWindowTextW(PathEdit(page).Handle(), dlx::W(text));
  }
  String Warning(const char16_t* key) { return installer_->Resources().GetString(u"PageSetup", key); }

  std::unique_ptr<TInstaller> installer_;
  std::unique_ptr<TInstallerForm> form_;
};

TEST_F(OptionPagesTest, TheProductNamesItsPagesForTheRun) {
  const std::vector<String> install = {u"PageWelcome", u"PageLicense", u"PageSetup", u"PageIntegration",
                                       u"PageReadyToInstall"};
  std::vector<String> russian = install;
  russian.insert(russian.begin() + 3, u"PageAddons");
  const struct {
    LANGID language;
    bool uninstall;
    std::vector<String> pages;
  } cases[] = {{1033, false, install}, {1049, false, russian}, {1033, true, {u"PageUninstallParams"}}};
  for (const auto& c : cases) {
    std::vector<Entry> product;
    if (c.uninstall) product.push_back({u"Uninstall.ini", "[Files]\r\n"});
    MakeForm({}, c.language, product);
    std::vector<String> names;
    for (int i = 0; i < form_->Pages().Count(); ++i) names.push_back(form_->Pages().Items(i)->Name());
    EXPECT_EQ(names, c.pages);
    form_.reset();
    installer_.reset();
  }
}

// The boxes, the radios and the warnings follow the installation found in the folder typed.
TEST_F(OptionPagesTest, SetupPageFollowsTheInstallationInTheDestination) {
  String copyFolder;
  ASSERT_FALSE(TProductInfoZUVA::FindInstalledCopy(copyFolder)) << "this machine has a copy";
  struct Case {
    const char* name;
    std::string config;  // ZUVA.ini; empty for none
    bool updateShown, updateChecked, portableChecked;
    std::vector<const char16_t*> warnings;
  };
  // In this order: leaving the update of a portable copy keeps the run portable.
  const Case cases[] = {
      {"empty folder", "", false, false, false, {}},
      {"too new to update", "[System]\r\nVersion=5100\r\n", false, false, false, {u"W3"}},
      {"updatable", "[System]\r\nVersion=4500\r\nUserMode=1\r\n", true, true, false, {u"W1"}},
      {"updatable portable", "[System]\r\nVersion=4500\r\nUserMode=0\r\n", true, true, true, {u"W1"}},
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
    EXPECT_EQ(Box(page, u"CB4").Visible(), c.updateChecked);
    EXPECT_TRUE(Box(page, u"CB4").Checked());
    EXPECT_EQ(Box(page, u"CB3").Checked(), c.portableChecked);
    EXPECT_EQ(Box(page, u"CB2").Checked(), !c.portableChecked);
    EXPECT_EQ(Box(page, u"CB3").Enabled(), !c.updateChecked);
    EXPECT_EQ(Box(page, u"CB2").Enabled(), !c.updateChecked);
    std::vector<String> expected;
    for (const char16_t* key : c.warnings) expected.push_back(Warning(key));
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
    EXPECT_EQ(Warnings(page), std::vector<String>{Warning(u"W3")});
    EXPECT_EQ(form_->Pages().Items(1)->IsAvailable(), !c.portableChecked);
    Box(page, u"CB1").Click();
    EXPECT_TRUE(installer_->HasOption(ioUpdate));
    EXPECT_FALSE(Box(page, u"CB4").Checked());
    Box(page, u"CB4").Click();
    EXPECT_FALSE(installer_->HasOption(ioNoBackup));
  }
}

// Portable moves a program-files destination to the desktop and normal moves it back; a folder
// the user chose stays where it is, and a portable run skips the integration page both ways.
TEST_F(OptionPagesTest, ModeSwitchMovesOnlyTheDefaultDestinations) {
  TInstallerPageSetup& page = ShowSetupPage();
  TInstallerProductInfo& info = installer_->ProductInfo();
  TypePath(page, installer_->Resources().ProgramFilesPath() + u"ZUVA Pages\\");
  ASSERT_TRUE(installer_->IsDestUnderProgramFiles());
  const struct {
    const char16_t* radio;
    String expected;
  } moves[] = {{u"CB3", info.GetDefaultPortablePath()}, {u"CB2", info.GetDefaultPath()}};
  for (const auto& move : moves) {
    Box(page, move.radio).Click();
    EXPECT_EQ(installer_->HasOption(ioPortable), move.radio == moves[0].radio);
    EXPECT_EQ(installer_->DestPath(), move.expected);
    EXPECT_EQ(PathEdit(page).Text(), move.expected);
  }

  TempFolder chosen(u"chosen");
  TypePath(page, chosen.Path());
  for (const char16_t* radio : {u"CB2", u"CB3"}) {
    Box(page, radio).Click();
    EXPECT_EQ(installer_->DestPath(), chosen.Path());
  }
  form_->NextButton().Click();
  Active<TInstallerPageReadyToInstall>();
  form_->BackButton().Click();
  EXPECT_EQ(&Active<TInstallerPageSetup>(), &page);
  Box(page, u"CB2").Click();
  form_->NextButton().Click();
  auto& integration = Active<TInstallerPageIntegration>();
  // A normal installation starts with everything on; the page writes only when clicked.
  for (const char16_t* box : {u"CB1", u"CB2", u"CB3", u"CB4", u"CB5"})
    EXPECT_TRUE(Box(integration, box).Checked());
  EXPECT_EQ(installer_->Settings().ReadSectionText(u"Integration"), u"");
  Box(integration, u"CB3").Click();
  EXPECT_EQ(installer_->Settings().ReadSectionText(u"Integration"),
            u"ShortcutDesktop=1\r\nShortcutStartMenu=1\r\nAssociateWithFiles=0\r\nIntegrateToWindows=1\r\n"
            u"RegisterContextMenu=1\r\n");
}

// Typing applies every keystroke without touching the edit's text or caret; a folder the installer
// refuses (a drive root on the way to a longer path) or none at all hold Next back.
TEST_F(OptionPagesTest, TypedPathFollowsEveryKeystrokeAndKeepsTheCaret) {
  TInstallerPageSetup& page = ShowSetupPage();
  dlx::TDLXEdit& edit = PathEdit(page);
  TempFolder old(u"typed");
  WriteFile(old.Path() + u"ZUVA.ini", "[System]\r\nVersion=4500\r\n");
  // The folder without its last character, with the slashes a user might type.
  String typed = dlx::ExcludeTrailingPathDelimiter(old.Path());
  const wchar_t last = static_cast<wchar_t>(typed.back());
  typed.pop_back();
  std::replace(typed.begin(), typed.end(), u'\\', u'/');
  TypePath(page, typed);
  EXPECT_FALSE(Box(page, u"CB1").Visible());
  TypeAt(edit, static_cast<int>(typed.size()), last);
  EXPECT_EQ(edit.Text(), typed + String(1, static_cast<char16_t>(last)));
  EXPECT_EQ(Caret(edit), typed.size() + 1);
  EXPECT_EQ(installer_->DestPath(), old.Path());
  EXPECT_EQ(Warnings(page), std::vector<String>{Warning(u"W1")});
  TypeAt(edit, 3, L'x');
  EXPECT_EQ(Caret(edit), 4u);
  EXPECT_EQ(edit.Text().substr(0, 4), typed.substr(0, 3) + u"x");
  EXPECT_FALSE(Box(page, u"CB1").Visible());
  EXPECT_TRUE(form_->NextButton().Enabled());

  for (const char16_t* text : {u"C:\\", u""}) {
    TypePath(page, text);
    EXPECT_EQ(installer_->DestPath(), u"");
    EXPECT_FALSE(form_->NextButton().Enabled());
    EXPECT_EQ(Warnings(page).size(), *text ? 1u : 0u);
    // Another choice on the page keeps the refused text for the user to correct.
    Box(page, u"CB3").Click();
    EXPECT_EQ(edit.Text(), text);
  }
  TypePath(page, old.Path());
  EXPECT_TRUE(form_->NextButton().Enabled());
  EXPECT_EQ(Warnings(page), std::vector<String>{Warning(u"W1")});
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

TEST_F(OptionPagesTest, AddonsAreStoredOnceShownAndUninstallOptionsOnlyWhenClicked) {
  MakeForm({&CreateInstallerPage<TInstallerPageAddons>, &CreateInstallerPage<TInstallerPageUninstallParams>},
           1049);
  dlx::TDLXIniFile& settings = installer_->Settings();
  EXPECT_EQ(settings.ReadSectionText(u"Common"),
            u"AddonsViewer=1\r\nAddonsExtensions=1\r\nAddonsShortcuts=1\r\n");
  auto& addons = Active<TInstallerPageAddons>();
  Box(addons, u"CB2").Click();
  EXPECT_FALSE(settings.ReadBool(u"Common", u"AddonsExtensions", true));

  form_->NextButton().Click();
  auto& uninstall = Active<TInstallerPageUninstallParams>();
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

// Without its list or its picture the add-ons page cannot be made, and so no wizard either.
TEST_F(OptionPagesTest, AddonsPageNeedsItsListAndPicture) {
  for (const char16_t* missing : {u"addons.ini", u"addons.png"}) {
    std::vector<Entry> setup = SetupMaterial();
    std::erase_if(setup, [missing](const Entry& entry) { return entry.name == missing; });
    try {
      MakeForm({&CreateInstallerPage<TInstallerPageAddons>}, 1049, {}, setup);
      ADD_FAILURE() << "a wizard without " << dlx::ToUtf8(missing);
    } catch (const dlx::EDLXException& error) {
      EXPECT_EQ(error.Message(), u"Cannot locate \"" + String(missing) + u"\" file in setup archive");
    }
    form_.reset();
    installer_.reset();
  }
}

}  // namespace
}  // namespace producttest
