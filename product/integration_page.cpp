#include "product/integration_page.h"

#include "core/installer.h"

namespace {

const char16_t kIntegration[] = u"Integration";
// The key of box "CB<n>" is the (n-1)th.
const char16_t* const kKeys[] = {u"ShortcutDesktop", u"ShortcutStartMenu", u"AssociateWithFiles",
                                 u"IntegrateToWindows", u"RegisterContextMenu"};

}  // namespace

void TInstallerPageIntegration::CreateControls() {
  const auto box = [this](const RECT& bounds, int number) {
    boxes_[number - 1] = &CreateCheckBox(bounds, u"CB" + dlx::IntToStr(number), [this] { Store(); });
  };
  CreateHeading({40, 30, 540, 20}, u"LB1");
  box({60, 70, 540, 16}, 1);
  box({60, 90, 540, 16}, 2);
  CreateHeading({40, 120, 540, 20}, u"LB2");
  box({60, 160, 540, 16}, 4);
  CreateLabel({79, 180, 540, 48}, u"CB4Hint", true).SetEnabled(false);
  box({60, 230, 540, 16}, 3);
  box({60, 250, 540, 16}, 5);
}

bool TInstallerPageIntegration::IsAvailable() const {
  return !Installer->HasOption(ioPortable) && !Installer->HasOption(ioUpdate);
}

void TInstallerPageIntegration::Prepare() {
  const bool byDefault = !Installer->HasOption(ioPortable);
  for (size_t i = 0; i < boxes_.size(); ++i)
    boxes_[i]->SetChecked(Installer->Settings().ReadBool(kIntegration, kKeys[i], byDefault));
}

void TInstallerPageIntegration::Store() {
  for (size_t i = 0; i < boxes_.size(); ++i)
    Installer->Settings().WriteBool(kIntegration, kKeys[i], boxes_[i]->Checked());
}
