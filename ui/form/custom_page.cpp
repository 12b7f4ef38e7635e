#include "ui/form/custom_page.h"

#include "core/installer.h"

TInstallerCustomPage::TInstallerCustomPage(const char16_t* className)
    : name_(PageNameFromClassName(className ? dlx::StringView(className) : dlx::StringView())) {}

void TInstallerCustomPage::NotifyStateChanged() {
  // On the main thread the installer's window runs the listeners at once, the form among them.
  if (Installer) Installer->PostEvent(iePageStateChanged, 0);
}

dlx::String PageNameFromClassName(dlx::StringView className) {
  constexpr size_t prefixLength = 10;  // "TInstaller"
  if (className.size() <= prefixLength) return dlx::String();
  return dlx::String(className.substr(prefixLength));
}
