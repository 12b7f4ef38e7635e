// The wizard as the program entry runs it: the installer form, shown until it closes.
#pragma once

class TInstaller;

// Shows the form for the installer object and answers the process exit code once it has closed
// and the programs chosen on the finish page were started: the run's own code, or "cancelled"
// when the wizard was closed before anything was done.
int RunInstallerWizard(TInstaller& installer);

// Makes the program entry run every run that is not silent through the wizard.
void RegisterInstallerWizard();
