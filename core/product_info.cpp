#include "core/product_info.h"

// clang-format off
#include <windows.h>
#include <shlobj.h>
// clang-format on

#include "core/action.h"
#include "core/errors.h"
#include "core/installer.h"
#include "core/resources.h"
#include "core/script/install_script.h"

using dlx::String;

TInstallerProductInfoClass ProductInfoClass = nullptr;

TInstallerResources& TInstallerProductInfo::Resources() {
  return Installer->Resources();
}

TInstallerScript& TInstallerProductInfo::Script() {
  return Installer->Resources().Script();
}

String TInstallerProductInfo::GetDefaultPath() {
  return Resources().ProgramFilesPath() + GetName() + u"\\";
}

String TInstallerProductInfo::GetDefaultPortablePath() {
  return GetSpecialFolder(CSIDL_DESKTOP) + GetName() + u"\\";
}

String TInstallerProductInfo::GetHomePage() {
  return Script().GetValue(u"HomePage");
}

String TInstallerProductInfo::GetName() {
  String name = Script().GetValue(u"ProductName");
  if (name.empty()) throw EInstallerGeneralError(u"TInstallerProductInfo.GetName");
  return name;
}

String TInstallerProductInfo::GetPublisher() {
  return Script().GetValue(u"Publisher");
}

String TInstallerProductInfo::GetVersion() {
  return Script().GetValue(u"ProductVersion");
}

int TInstallerProductInfo::GetVersionId() {
  int64_t value = 0;
  if (!dlx::TryStrToInt(Script().GetValue(u"ProductVersionId"), value) || value < INT32_MIN ||
      value > INT32_MAX)
    return 0;
  return static_cast<int>(value);
}

String TInstallerProductInfo::GetFullVersion() {
  return GetVersion() + u", " + Script().GetValue(u"BuildDate");
}

String TInstallerProductInfo::GetInstalledVersionText() {
  const int version = GetInstalledVersion();
  const int minor = version % 1000 / 10;
  return dlx::IntToStr(version / 1000) + u"." + (minor < 10 ? u"0" : u"") + dlx::IntToStr(minor);
}

String TInstallerProductInfo::GetVersionNo() {
  return Script().GetValue(u"ProductVersionNo");
}

void TInstallerSummaryBuilder::SetHeaderText(const String& section, const String& key) {
  SetHeader(Installer->Resources().GetString(section, key));
}

void TInstallerSummaryBuilder::AddLine(const String& text) {
  if (!PendingHeader.empty()) {
    if (!Builder.empty()) Builder += u"\r\n";
    Builder += PendingHeader;
    Builder += u"\r\n";
    PendingHeader.clear();
  }
  Builder += u"    ";
  Builder += text;
  Builder += u"\r\n";
}

void TInstallerSummaryBuilder::AddLineText(const String& section, const String& key) {
  AddLine(Installer->Resources().GetString(section, key));
}

String BuildInstallerSummary() {
  TInstallerSummaryBuilder builder;
  Installer->ProductInfo().EnumActions([&](TInstallerActionClass actionClass) {
    std::unique_ptr<TInstallerAction> action = actionClass();
    action->BuildSummary(builder);
  });
  return builder.ToString();
}
