// ZUVA's answers to the engine's questions about the product: where an installed copy lies,
// which version and mode it has, whether this installer may update it, and which actions make up
// a run.
#pragma once

#include <memory>

#include "core/product_info.h"
#include "lib/ini_file.h"

class TProductInfoZUVA : public TInstallerProductInfo {
 public:
  TProductInfoZUVA();
  ~TProductInfoZUVA() override;

  dlx::String GetDefaultPath() override;
  // Installed versions 3.50 to 5.09 inclusive.
  bool CanUpdate() override;
  // "System"/"UserMode" of the loaded configuration reads false.
  bool IsInstalledPortable() override;
  int GetInstalledVersion() override;
  void LoadInstalledInfo() override;
  void EnumActions(const std::function<void(TInstallerActionClass)>& callback) override;
  void EnumPages(const std::function<void(TInstallerPageClass)>& callback) override;

  // The folder of an installed copy: the uninstall entry "ZUVA", then "ZUVA3", then the folder of
  // the program that owns a running main window. False, with an empty folder, when none is found.
  static bool FindInstalledCopy(dlx::String& folder);
  // ZUVA.ini, else ZUVA3.ini in the destination folder, when it exists; else empty.
  dlx::String GetConfigFileName();
  // The add-ons page and action: an interactive run in Russian only.
  bool IsAddonsAvailable();
  // The run removes the copy's shortcuts, shell menu and uninstall entries before it installs and
  // so makes them again: a normal installation that is no update, or an update from before 4.00.
  bool ReplacesIntegration();
  // The destination holds (or the machine has) an installation that a new one would replace.
  bool HasPreviousInstallation();

  dlx::TDLXIniFile& InstalledConfig() { return *config_; }
  // True when choosing the destination rolled back an earlier run into it that had not ended.
  bool RecoveredRun() const { return recovered_; }

 private:
  // Rolls back a run into the destination that was killed or lost power, from the journal it
  // left; before anything reads what is installed there.
  void RecoverInterruptedRun();

  std::unique_ptr<dlx::TDLXIniFile> config_;
  bool recovered_ = false;
};

// The product information of the running installer as ZUVA's (the registered class).
TProductInfoZUVA& ProductInfoZUVA();

// Makes TProductInfoZUVA the product information class of the program.
void RegisterProductInfoZUVA();
