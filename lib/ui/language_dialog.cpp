#include "lib/ui/language_dialog.h"

#include "lib/platform/text.h"
#include "lib/stream.h"

namespace dlx {

TDLXCustomLanguageDialog::TDLXCustomLanguageDialog() : combo_(*this), ok_(*this, u"OK") {
  SetCaption(u"Select Language");
  SetPosition(TDLXFormPosition::poScreenCenter);
  SetBorderStyle(TDLXBorderStyle::bsDialog);
  SetBorderIcons(biSystemMenu);
  SetStayOnTop(true);
  SetClientSize(220, 75);
  // A fixed size: as high as it is, exactly as wide.
  SetConstraints(220, 75, 220, 0);
  ok_.SetBounds(0, 0, 100, 25);
  ok_.SetMargins(TDLXMargins{60, 0, 60, 8});
  ok_.SetAlign(TDLXAlign::alBottom);
  ok_.SetModalResult(mrOk);
  ok_.SetDefault(true);
  ok_.SetName(u"OK");
  combo_.SetImages(&images_);
  combo_.SetBounds(0, 0, 204, 24);
  combo_.SetMargins(TDLXMargins{8, 8, 8, 8});
  combo_.SetAlign(TDLXAlign::alTop);
  combo_.SetName(u"Language");
  DisableCloseCommand();
}

void TDLXCustomLanguageDialog::AfterConstruction() {
  FillList();
  SelectDefault();
}

void TDLXCustomLanguageDialog::FillList() {
  TDLXIcon icon;
  TDLXIniFile ini;
  EnumLangs(ini, [&](int index) {
    const String name = ini.ReadString(u"File", u"Name", String());
    const int langId = ini.ReadInteger(u"File", u"LangId", 0);
    TDLXMemoryStream iconData;
    if (!ini.ReadStream(u"File", u"Icon", iconData) || iconData.Size() == 0 ||
        !icon.LoadFromMemory(iconData.Memory(), iconData.Size(), images_.Width(), images_.Height()))
      icon.Clear();
    const int picture = images_.AddIcon(icon);
    // Sorted by name in the user's locale without regard to case; equal names keep their order.
    int position = combo_.Count();
    while (position > 0 && CompareTextIgnoreCase(name, combo_.Item(position - 1).Text) < 0) --position;
    combo_.InsertItem(position, TDLXImageComboItem{name, picture, langId, index});
  });
}

void TDLXCustomLanguageDialog::SelectDefault() {
  int index = combo_.FindByTag(static_cast<int>(GetUserDefaultUILanguage()));
  if (index < 0) index = combo_.FindByTag(1033);
  if (index < 0 && combo_.Count() > 0) index = 0;
  combo_.SetItemIndex(index);
}

int TDLXCustomLanguageDialog::SelectedIndex() const {
  const int index = combo_.ItemIndex();
  if (index < 0 || index >= combo_.Count()) return -1;
  return static_cast<int>(combo_.Item(index).Data);
}

}  // namespace dlx
