#include "product/addons_page.h"

#include "core/errors.h"
#include "core/installer.h"
#include "core/resources.h"

using dlx::String;

namespace {

const char16_t kCommon[] = u"Common";
const char16_t kViewer[] = u"AddonsViewer";
const char16_t kExtensions[] = u"AddonsExtensions";
const char16_t kShortcuts[] = u"AddonsShortcuts";

}  // namespace

TInstallerPageAddons::TInstallerPageAddons()
    : TInstallerPage(u"TInstallerPageAddons"), addons_(Resources().GetStringList(u"addons.ini")) {
  const String pictureName = addons_->GetValue(u"I0");
  auto data = Resources().GetFile(pictureName);
  if (!picture_.LoadFromMemory(data->Memory(), static_cast<size_t>(data->Size())))
    throw EInstallerInstallError(u"Cannot read the picture \"" + pictureName + u"\"");
}

void TInstallerPageAddons::CreateControls() {
  CreateHeading({40, 30, 300, 40}, u"L0").SetWordWrap(true);
  viewerBox_ = &CreateCheckBox({60, 100, 500, 17}, u"CB1", [this] { Store(); });
  extensionsBox_ = &CreateCheckBox({60, 120, 500, 17}, u"CB2", [this] { Store(); });
  shortcutsBox_ = &CreateCheckBox({60, 140, 500, 17}, u"CB3", [this] { Store(); });
  // Transparent and without border by their nature; unnamed, so Localize leaves them to us.
  firstNote_ = &CreateControl<dlx::TDLXFormattedLabel>({40, 280, 500, 20}, String());
  secondNote_ = &CreateControl<dlx::TDLXFormattedLabel>({40, 310, 550, 50}, String());
}

void TInstallerPageAddons::Localize() {
  TInstallerPage::Localize();
  firstNote_->SetCaption(FormatText(GetText(u"L1"), {addons_->GetValue(u"L0")}));
  secondNote_->SetCaption(FormatText(GetText(u"L2"), {addons_->GetValue(u"L1"), addons_->GetValue(u"L2")}));
}

void TInstallerPageAddons::Paint(HDC dc, const RECT& client) {
  TInstallerPage::Paint(dc, client);
  const int width = ScaleValue(picture_.Width());
  const int right = client.right - ScaleValue(10);
  picture_.Draw(dc, RECT{right - width, client.top, right, client.top + ScaleValue(picture_.Height())}, 255);
}

void TInstallerPageAddons::Prepare() {
  dlx::TDLXIniFile& settings = Installer->Settings();
  viewerBox_->SetChecked(settings.ReadBool(kCommon, kViewer, true));
  shortcutsBox_->SetChecked(settings.ReadBool(kCommon, kShortcuts, true));
  extensionsBox_->SetChecked(settings.ReadBool(kCommon, kExtensions, true));
  Store();
}

void TInstallerPageAddons::Store() {
  dlx::TDLXIniFile& settings = Installer->Settings();
  settings.WriteBool(kCommon, kViewer, viewerBox_->Checked());
  settings.WriteBool(kCommon, kExtensions, extensionsBox_->Checked());
  settings.WriteBool(kCommon, kShortcuts, shortcutsBox_->Checked());
}
