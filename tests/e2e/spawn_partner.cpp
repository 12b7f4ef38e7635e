// The elevated half of the spawn protocol, as its own program: the test process plays the
// non-elevated launcher and starts this one through RelaunchElevated. It reads the partner window
// from SKIPUAC as the program entry does, asks the partner to start the program named by /SPAWN
// and ends with the code named by /EXIT. Exit 90: no SKIPUAC; 91: no partner window to send to.
#include <windows.h>

#include "core/entry.h"
#include "core/spawn_service.h"
#include "lib/command_line.h"

int wmain() {
  using dlx::TDLXCommandLineProcessor;
  const dlx::String args = dlx::GetCommandLineArgs();
  if (!InitializeSpawnServiceFromArgs(args)) return 90;
  if (TInstallerSpawnService::OwnsWindow() || !IsWindow(TInstallerSpawnService::Handle())) return 91;
  dlx::String command, exitText;
  if (TDLXCommandLineProcessor::FindSwitch(args, u"SPAWN", command)) TInstallerSpawnService::Spawn(command);
  int64_t exitCode = 0;
  if (TDLXCommandLineProcessor::FindSwitch(args, u"EXIT", exitText)) dlx::TryStrToInt(exitText, exitCode);
  TInstallerSpawnService::Finalize();
  return static_cast<int>(exitCode);
}
