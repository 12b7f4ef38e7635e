#include "core/extract_action.h"

#include <vector>

#include "core/extract_helper.h"
#include "core/installer.h"
#include "core/resources.h"
#include "core/script/install_script.h"
#include "lib/log.h"

void TInstallerAction::ExtractScriptFile(const TInstallerScriptFile& entry) {
  Installer->ExtractHelper().Extract(entry);
}

void TInstallerAction::ForceTargetFolder(const dlx::String& folder) {
  Installer->ExtractHelper().ForceFolder(folder);
}

void TInstallerActionExtract::Execute() {
  ReportStatus(GetCommonText(u"A4"));
  // The uninstall log lists exactly these entries, whether or not each was written.
  std::vector<TInstallerScriptFile*> files;
  files.reserve(512);
  for (TInstallerScriptFile* entry : Resources().GetComponentFiles()) files.push_back(entry);
  const size_t count = files.size();
  dlx::Log(u"Extracting " + dlx::IntToStr(static_cast<int64_t>(count)) + u" files into \"" +
           Installer->DestPath() + u"\"");
  for (size_t i = 0; i < count; ++i) {
    if (StopRequested()) {
      dlx::Log(u"Extraction cancelled after " + dlx::IntToStr(static_cast<int64_t>(i)) + u" of " +
               dlx::IntToStr(static_cast<int64_t>(count)) + u" files");
      return;
    }
    // Set as the entry starts, so the last entry shows 100 while it is written.
    SetProgress(static_cast<int>((i + 1) * 100 / count));
    ExtractScriptFile(*files[i]);
  }
  ReportStatus(GetCommonText(u"A7"));
  WriteUninstallInfo(Installer->DestPath(), files);
}
