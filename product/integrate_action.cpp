#include "product/integrate_action.h"

#include "core/file_utils.h"
#include "core/installer.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/win/system.h"
#include "product/prepare_rollback.h"
#include "product/product_names.h"

using dlx::String;

namespace {

const char16_t kIntegration[] = u"Integration";

bool IsWin8OrLater() {
  const dlx::TDLXSystemVersion& version = dlx::SystemVersion();
  return version.Major > 6 || (version.Major == 6 && version.Minor >= 2);
}

}  // namespace

String TInstallerActionIntegrate::BuildSwitches(bool windows8OrLater) {
  String switches;
  if (Settings().ReadBool(kIntegration, u"IntegrateToWindows", true)) switches += u" /REG=L1 /REG=D1 /REG=R1";
  if (Settings().ReadBool(kIntegration, u"RegisterContextMenu", true)) switches += u" /REG=M1";
  if (Settings().ReadBool(kIntegration, u"AssociateWithFiles", true)) {
    switches += u" /REG=R2";
    if (windows8OrLater && !Installer->HasOption(ioAuto)) switches += u" /REG_UI";
  }
  return switches;
}

void TInstallerActionIntegrate::Execute() {
  const String program = Installer->DestPath() + zuva_names::kRegistrar;
  if (!dlx::FileExists(program)) {
    dlx::Log(u"No integration program \"" + program + u"\": Windows integration skipped");
    return;
  }
  const String switches = BuildSwitches(IsWin8OrLater());
  if (switches.empty()) {
    dlx::Log(u"Windows integration: every choice is off, the integration program is not started");
    return;
  }
  // Recorded first: the rollback of a run that fails from here on runs the program's removal.
  if (const auto& rollback = RunRollback()) rollback->MarkIntegrated(program);
  // Whatever the program returns, the installation stands (a program that never ends does not:
  // an unattended run ends it and fails). The switches start with a blank each; the engine puts
  // one between the quoted program and its arguments.
  ExecuteAndWait(program, switches.substr(1));
}

void TInstallerActionIntegrate::BuildSummary(TInstallerSummaryBuilder& builder) {
  builder.SetHeaderText(u"PageIntegration", u"LB2");
  if (Settings().ReadBool(kIntegration, u"IntegrateToWindows", true))
    builder.AddLineText(u"PageIntegration", u"CB4");
  if (Settings().ReadBool(kIntegration, u"RegisterContextMenu", true))
    builder.AddLineText(u"PageIntegration", u"CB5");
  if (Settings().ReadBool(kIntegration, u"AssociateWithFiles", true))
    builder.AddLineText(u"PageIntegration", u"CB3");
}
