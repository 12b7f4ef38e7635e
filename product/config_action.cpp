#include "product/config_action.h"

#include "core/errors.h"
#include "core/installer.h"
#include "core/resources.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "product/product_names.h"

using dlx::String;

void TInstallerActionConfig::Execute() {
  ReportStatus(GetCommonText(u"A6"));
  const String fileName = Installer->DestPath() + zuva_names::kConfigFile;
  dlx::TDLXIniFile config(fileName);
  config.WriteSectionText(u"Integration", Settings().ReadSectionText(u"Integration"));
  config.EraseSection(u"System");
  config.WriteInteger(u"System", u"UserMode", Installer->HasOption(ioPortable) ? 0 : 1);
  config.WriteString(u"System", u"DefaultLang", Resources().LangName() + u".lng");
  config.WriteInteger(u"System", u"Version", ProductInfo().GetVersionId());
  // Saved here rather than on release, so that a file that cannot be written ends the run.
  if (!config.SaveToFile(fileName, config.Encoding)) {
    const DWORD code = GetLastError();
    throw EInstallerInstallError(u"Cannot write the configuration file \"" + fileName + u"\" (" +
                                 dlx::IntToStr(code) + u")");
  }
  dlx::Log(u"Configuration written: " + fileName);
}
