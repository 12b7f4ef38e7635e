// The program entry: decides before any window is shown in which run mode the process works
// (elevation stub, uninstaller bootstrap, wizard or silent run), makes sure it holds
// administrator rights, creates the one installer object and runs it. Every start-up failure ends
// in one error box titled "Setup" (none with /AUTO /SUPPRESSMSGBOXES) and the failure exit code.
#pragma once

#include <functional>
#include <memory>

#include "lib/dlx_string.h"

class TInstaller;

// The system services the start-up decisions depend on. System() gives the real ones; tests
// replace single members.
struct TEntryEnvironment {
  std::function<bool()> IsWinVistaOrLater;
  std::function<bool()> IsUserAnAdmin;
  // The elevation stub: returns the exit code of the elevated process.
  std::function<int(const dlx::String& args)> RelaunchElevated;
  std::function<dlx::String()> ModuleFileName;
  // With a trailing backslash.
  std::function<dlx::String()> TempFolder;
  // Starts a program (the uninstaller's copy), waits for its end while delivering sent messages,
  // and returns its exit code; a program that cannot be started raises the system error.
  std::function<int(const dlx::String& file, const dlx::String& parameters, const dlx::String& directory)>
      StartProgram;
  std::function<std::unique_ptr<TInstaller>(const dlx::String& args)> CreateInstaller;
  // The error box (and the help text): the library's message box, titled "Setup".
  std::function<void(const dlx::String& text, unsigned flags)> ShowMessage;

  static TEntryEnvironment System();
};

// The whole run for the given arguments (the command line without the program's path); returns
// the process exit code: InstallerExitSuccess, InstallerExitCancelled or InstallerExitFailed.
int RunInstallerEntry(const dlx::String& args, const TEntryEnvironment& environment);

// The wizard: runs the form over the installer object until it closes and answers the exit code.
// Every run that is not silent goes through it once one is set; without one, an interactive run
// is refused and an unattended one runs without a window.
using TInstallerWizard = int (*)(TInstaller& installer);
void SetInstallerWizard(TInstallerWizard wizard);

// RunInstallerEntry with the process's own arguments and the real system services.
int InstallerMain();

// With a SKIPUAC switch in args: initializes the spawn service with its value (the partner's
// window; a value that is no number counts as 0) and returns true.
bool InitializeSpawnServiceFromArgs(const dlx::String& args);

// The text that /? shows.
dlx::String UsageText();

// A "<program>.local" file or folder beside the program would redirect the libraries the
// program loads: its path when one exists, else an empty string.
dlx::String FindDotLocalRedirection(const dlx::String& programPath);

// True when path lies inside folder (a folder with trailing backslash), ignoring case; a path
// equal to the folder counts as inside.
bool IsPathInsideFolder(const dlx::String& path, const dlx::String& folder);

// Creates a new folder with a unique name in parent (trailing backslash) that only the
// administrators and SYSTEM may open, with a high mandatory integrity label; never reuses an existing folder.
// Returns it with a trailing backslash; raises the system error on failure.
dlx::String CreatePrivateFolder(const dlx::String& parent);

// The security of those folders as a descriptor text: "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)" with
// the label "S:(ML;OICI;NW;;;HI)"; protected, so nothing of the temporary folder is inherited.
dlx::String PrivateFolderSecurityText();

// Copies source into folder (trailing backslash) under its own name, replacing a file there, and
// returns the copy's path. A failed copy raises "System Error.  Code: ..." with both paths.
dlx::String CopyIntoFolder(const dlx::String& source, const dlx::String& folder);

// Removes the uninstaller's copy once its run is over: the program and its ".dat" package are
// deleted (a program still running, which cannot be, is moved aside into the temporary folder and
// deleted at the next restart) and their private folder is removed, or scheduled for removal at
// the next restart when something keeps it. Never raises; what happened goes to the log.
void RemoveUninstallerCopy(const dlx::String& program);

// The uninstaller's bootstrap: copies the running module and its ".dat" package into a new private
// folder of the temporary folder, schedules both and the folder for deletion at the next restart,
// starts the copy with /PATH="<the module's folder>" in front of args, waits for it, removes it
// (RemoveUninstallerCopy) and returns its exit code.
int RelaunchUninstallerFromTemp(const dlx::String& args, const TEntryEnvironment& environment);
