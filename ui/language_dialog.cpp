#include "ui/language_dialog.h"

#include "core/package/package.h"
#include "lib/log.h"

void TInstallerLanguageDialog::EnumLangs(dlx::TDLXIniFile& ini, const std::function<void(int)>& callback) {
  dlx::TDLXStringList& files = resources_.LangFiles();
  for (int i = 0; i < files.Count(); ++i) {
    std::unique_ptr<dlx::TDLXMemoryStream> stream;
    if (!resources_.SetupPackage().Extract(files.Strings(i), stream) || !stream) continue;
    ini.LoadFromStream(*stream);
    stream.reset();
    callback(i);
  }
}

dlx::String ChooseLanguage(TInstallerResources& resources, bool showDialog) {
  auto dialog = dlx::TDLXForm::Create<TInstallerLanguageDialog>(resources);
  if (showDialog) dialog->ShowModal();
  const int index = dialog->SelectedIndex();
  if (index < 0 || index >= resources.LangFiles().Count()) return u"English.lng";
  return resources.LangFiles().Strings(index);
}

void RegisterLanguageDialog() {
  TInstallerResources::SetLanguageChooser(&ChooseLanguage);
}
