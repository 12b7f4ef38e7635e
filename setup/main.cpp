// ZUVASetup.exe, the installer, and, built from this file again without the product, the
// Uninstall.exe that an installation writes.
#include <windows.h>

#include "core/entry.h"
#include "lib/win/system_library.h"
#include "product/product_info_zuva.h"
#include "ui/language_dialog.h"
#include "ui/wizard.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Before anything can load a library: only the system folder is searched from here on.
  dlx::HardenDllSearch();
  RegisterProductInfoZUVA();
  RegisterLanguageDialog();
  RegisterInstallerWizard();
  return InstallerMain();
}
