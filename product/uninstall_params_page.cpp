#include "product/uninstall_params_page.h"

#include "core/installer.h"

namespace {

const char16_t kCommon[] = u"Common";
const char16_t kRemoveBackups[] = u"RemoveBackups";
const char16_t kRemoveContent[] = u"RemoveContent";

}  // namespace

void TInstallerPageUninstallParams::CreateControls() {
  backupsBox_ = &CreateCheckBox({44, 40, 480, 17}, u"CB1", [this] { Store(); });
  contentBox_ = &CreateCheckBox({44, 65, 480, 17}, u"CB2", [this] { Store(); });
}

void TInstallerPageUninstallParams::Prepare() {
  dlx::TDLXIniFile& settings = Installer->Settings();
  backupsBox_->SetChecked(settings.ReadBool(kCommon, kRemoveBackups, false));
  contentBox_->SetChecked(settings.ReadBool(kCommon, kRemoveContent, false));
}

void TInstallerPageUninstallParams::Store() {
  dlx::TDLXIniFile& settings = Installer->Settings();
  settings.WriteBool(kCommon, kRemoveBackups, backupsBox_->Checked());
  settings.WriteBool(kCommon, kRemoveContent, contentBox_->Checked());
}
