// The language dialog: a small form with a picture list of the available languages, shown before
// any other window of a run. The library's dialog knows nothing of where languages come from:
// a subclass enumerates them (EnumLangs), each as an INI text with a section "File" holding
// "Name", "LangId", "Icon" (an icon file as hexadecimal text), "Author" and "VersionId".
#pragma once

#include <functional>

#include "lib/ini_file.h"
#include "lib/ui/button.h"
#include "lib/ui/form.h"
#include "lib/ui/image_combo_box.h"
#include "lib/ui/image_list.h"

namespace dlx {

class TDLXCustomLanguageDialog : public TDLXForm {
 public:
  TDLXCustomLanguageDialog();

  // Fills the list and selects the first item: call through TDLXForm::Create, which runs it after
  // the subclass is complete.
  void AfterConstruction() override;

  // The selected item's data value (the language's index as EnumLangs reported it), or -1.
  int SelectedIndex() const;

  TDLXImageComboBox& ComboBox() { return combo_; }
  TDLXImageList& Images() { return images_; }
  TDLXButton& OkButton() { return ok_; }

 protected:
  // Loads each available language in turn into the INI object and calls back with its index
  // after each. The base has no languages.
  virtual void EnumLangs(TDLXIniFile& ini, const std::function<void(int index)>& callback) {}
  // Selects the first item tagged with the user's UI language, else the first tagged 1033
  // (English), else the first item.
  virtual void SelectDefault();

 private:
  void FillList();

  TDLXImageComboBox combo_;
  TDLXImageList images_{16, 16};
  TDLXButton ok_;
};

}  // namespace dlx
