#include "product/addons_action.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on

#include "core/elevation.h"
#include "core/entry.h"
#include "core/errors.h"
#include "core/file_utils.h"
#include "core/resources.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/stream_helpers.h"

using dlx::String;

namespace {

const char16_t kCommon[] = u"Common";
const char16_t kAddonsList[] = u"addons.ini";

struct TAddonsChoices {
  bool Viewer, Extensions, Shortcuts;
};

TAddonsChoices ReadChoices(dlx::TDLXIniFile& settings) {
  return {settings.ReadBool(kCommon, u"AddonsViewer", false),
          settings.ReadBool(kCommon, u"AddonsExtensions", false),
          settings.ReadBool(kCommon, u"AddonsShortcuts", false)};
}

void SaveStream(dlx::TDLXMemoryStream& data, const String& path) {
  auto file = dlx::CreateFileForWriting(path);
  if (!file) {
    const DWORD code = GetLastError();
    throw dlx::EDLXOSError(code, SystemErrorMessage(code, path));
  }
  file->WriteBuffer(data.Memory(), data.Size());
  file->Flush();
}

// Best effort: the temporary folder is the system's to clean, this only makes it sooner.
void ScheduleRemoval(const String& path) {
  if (!MoveFileExW(dlx::W(path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
    dlx::Log(u"Cannot schedule \"" + path + u"\" for deletion at restart (" + dlx::IntToStr(GetLastError()) +
             u")");
}

}  // namespace

String TInstallerActionAddonsInstall::BuildParameters(const dlx::TDLXStringList& addons) {
  const TAddonsChoices choices = ReadChoices(Settings());
  String switches;
  if (!choices.Extensions) switches += addons.GetValue(u"P1") + u" ";
  if (choices.Viewer) switches += addons.GetValue(u"P2") + u" ";
  if (choices.Shortcuts) switches += addons.GetValue(u"P3") + u" ";
  return FormatText(addons.GetValue(u"CL"), {switches});
}

void TInstallerActionAddonsInstall::Execute() {
  const TAddonsChoices choices = ReadChoices(Settings());
  if (!choices.Viewer && !choices.Extensions && !choices.Shortcuts) {
    dlx::Log(u"Add-ons: none chosen");
    return;
  }
  const std::unique_ptr<dlx::TDLXStringList> addons = Resources().GetStringList(kAddonsList);
  const String entry = addons->GetValue(u"P4");
  const String fileName = dlx::ExtractFileName(entry);
  // The entry names a file of the package; a name with folder parts must not lead elsewhere.
  if (fileName.empty() || fileName == u"." || fileName == u"..")
    throw EInstallerInstallError(FormatText(u"Cannot locate \"%s\" file in setup archive", {entry}));
  std::unique_ptr<dlx::TDLXMemoryStream> program = Resources().GetFile(entry);
  const String folder = CreatePrivateFolder(AdminTempFolder());
  installerPath_ = dlx::ExpandFileName(folder + fileName);
  SaveStream(*program, installerPath_);
  ScheduleRemoval(installerPath_);
  ScheduleRemoval(dlx::ExcludeTrailingPathDelimiter(folder));
  const String parameters = BuildParameters(*addons);
  dlx::Log(u"Starting the add-ons installer \"" + installerPath_ + u"\" " + parameters);
  // Not waited for: it runs on its own, possibly beyond the end of this run.
  const HINSTANCE result =
      ShellExecuteW(nullptr, L"open", dlx::W(installerPath_), dlx::W(parameters), L"", SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(result) <= 32)
    dlx::Log(u"Cannot start the add-ons installer: shell error " +
             dlx::IntToStr(static_cast<int64_t>(reinterpret_cast<INT_PTR>(result))));
}

void TInstallerActionAddonsInstall::BuildSummary(TInstallerSummaryBuilder& builder) {
  const TAddonsChoices choices = ReadChoices(Settings());
  builder.SetHeaderText(u"PageAddons", u"Title");
  if (choices.Viewer) builder.AddLineText(u"PageAddons", u"CB1");
  if (choices.Extensions) builder.AddLineText(u"PageAddons", u"CB2");
  if (choices.Shortcuts) builder.AddLineText(u"PageAddons", u"CB3");
}
