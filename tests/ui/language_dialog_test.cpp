// The installer's language dialog over a SETUP package, and the choice it makes for the run.
#include "ui/language_dialog.h"

#include "core/installer.h"
#include "lib/file_system.h"
#include "tests/core/installer_fixture.h"

using namespace testenv;
using dlx::String;

namespace {

class InstallerLanguageDialogTest : public EngineTest {};

TEST_F(InstallerLanguageDialogTest, ListsThePackagesLanguagesAndChoosesWithoutAWindowInAutoRuns) {
  auto installer = Create(u"/AUTO");
  TInstallerResources& resources = installer->Resources();
  {
    auto dialog = dlx::TDLXForm::Create<TInstallerLanguageDialog>(resources);
    // LangFiles is sorted (English, German, Russian); the list is sorted by name.
    const dlx::TDLXImageComboBox& combo = dialog->ComboBox();
    ASSERT_EQ(combo.Count(), 3);
    EXPECT_EQ(combo.Item(0).Text, u"Deutsch");
    EXPECT_EQ(combo.Item(0).Data, 1);
    EXPECT_EQ(combo.Item(1).Text, u"English");
    EXPECT_EQ(combo.Item(2).Tag, 1049);
    EXPECT_FALSE(IsWindowVisible(dialog->Handle()));
  }
  // Not shown: the preselection decides, as the engine's window-less rule does.
  const String chosen = ChooseLanguage(resources, false);
  const int preselected = resources.SelectDefaultLanguage(GetUserDefaultUILanguage());
  EXPECT_EQ(chosen, resources.LangFiles().Strings(preselected));

  // Through the engine: the chooser's language is merged over English.
  RegisterLanguageDialog();
  resources.ChooseAndInitializeLanguages(false);
  TInstallerResources::SetLanguageChooser(nullptr);
  EXPECT_EQ(resources.LangName(), dlx::ExtractFileNameWithoutExt(chosen));
  EXPECT_EQ(resources.GetString(u"Common", u"OnlyEnglish"), u"From English");
  installer.reset();
}

TEST_F(InstallerLanguageDialogTest, WithoutLanguagesTheRunUsesEnglish) {
  auto installer = Create(u"/AUTO", {{u"Install.xml", DefaultScript()}});
  EXPECT_EQ(ChooseLanguage(installer->Resources(), false), u"English.lng");
  installer.reset();
}

}  // namespace
