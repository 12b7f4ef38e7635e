#include "ui/wizard.h"

#include "core/entry.h"
#include "core/installer.h"
#include "lib/log.h"
#include "ui/installer_form.h"

int RunInstallerWizard(TInstaller& installer) {
  {
    auto form = dlx::TDLXForm::Create<TInstallerForm>();
    form->ShowModal();
    // Destroying the form starts the programs chosen on the finish page.
  }
  installer.FreeThread();
  if (installer.State() == isIdle) {
    dlx::Log(u"The wizard was closed before the run started");
    return InstallerExitCancelled;
  }
  return installer.ExitCode();
}

void RegisterInstallerWizard() {
  SetInstallerWizard(&RunInstallerWizard);
}
