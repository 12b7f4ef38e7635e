// The installer's language dialog: the library's language dialog over the language files of the
// SETUP package, and the choice of the run's language through it.
#pragma once

#include "core/resources.h"
#include "lib/ui/language_dialog.h"

class TInstallerLanguageDialog : public dlx::TDLXCustomLanguageDialog {
 public:
  explicit TInstallerLanguageDialog(TInstallerResources& resources) : resources_(resources) {}

 protected:
  // Every entry of the language list that the SETUP package can open, in list order.
  void EnumLangs(dlx::TDLXIniFile& ini, const std::function<void(int index)>& callback) override;

 private:
  TInstallerResources& resources_;
};

// Builds the dialog, shows it modally when showDialog is set (a run without ioAuto) and answers
// the language file of the item selected when it closed, however it was closed; "English.lng"
// when nothing is selected.
dlx::String ChooseLanguage(TInstallerResources& resources, bool showDialog);

// Makes the engine choose the run's language through the dialog.
void RegisterLanguageDialog();
