#include "core/minimal_product.h"

#include "core/action.h"
#include "core/extract_action.h"
#include "core/installer.h"

void TMinimalProductInfo::EnumActions(const std::function<void(TInstallerActionClass)>& callback) {
  // Removal needs the product's own actions, which only a product module knows.
  if (Installer && Installer->Mode() == imUninstall) return;
  callback(&CreateAction<TInstallerActionExtract>);
}

void RegisterMinimalProductInfo() {
  if (!ProductInfoClass) ProductInfoClass = &CreateProductInfo<TMinimalProductInfo>;
}
