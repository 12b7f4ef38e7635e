// The product information the setup executable registers until a product module brings its own:
// an installation consists of the extraction action alone, a removal of no action at all, and no
// installed copy is ever found at the destination.
#pragma once

#include "core/product_info.h"

class TMinimalProductInfo : public TInstallerProductInfo {
 public:
  bool CanUpdate() override { return false; }
  bool IsInstalledPortable() override { return false; }
  int GetInstalledVersion() override { return 0; }
  void LoadInstalledInfo() override {}
  void EnumActions(const std::function<void(TInstallerActionClass)>& callback) override;
  void EnumPages(const std::function<void(TInstallerPageClass)>& callback) override {}
};

// Registers TMinimalProductInfo as ProductInfoClass unless a product module has registered a
// class already.
void RegisterMinimalProductInfo();
