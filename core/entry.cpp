#include "core/entry.h"

// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <sddl.h>
#include <objbase.h>
// clang-format on

#include <vector>

#include "core/elevation.h"
#include "core/errors.h"
#include "core/file_utils.h"
#include "core/installer.h"
#include "core/pending_restart.h"
#include "core/product_info.h"
#include "core/resources.h"
#include "core/run_lock.h"
#include "core/run_log.h"
#include "core/spawn_service.h"
#include "lib/command_line.h"
#include "lib/exceptions.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/fs.h"
#include "lib/platform/text.h"
#include "lib/win/handles.h"
#include "lib/win/system.h"
#include "lib/win/thread.h"

using dlx::String;
using dlx::TDLXCommandLineProcessor;

namespace {

const char16_t kCaption[] = u"Setup";

// Each program run gets its own prefix, so the names are easy to recognise in the temporary
// folder and never collide with another product's.
const char16_t kPrivateFolderPrefix[] = u"ZUVA-";

TInstallerWizard gWizard = nullptr;

String ModeText(TInstaller& installer) {
  return installer.Mode() == imInstall ? u"install" : u"uninstall";
}

String HexText(uint64_t value, int digits) {
  static const char16_t kDigits[] = u"0123456789ABCDEF";
  String text(static_cast<size_t>(digits), u'0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) text[static_cast<size_t>(i)] = kDigits[value & 15];
  return text;
}

// The system's random generator (RtlGenRandom), exported by advapi32 under this name.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

// A name nobody can predict, so that no other process can prepare a folder under it.
String UniqueFolderName() {
  uint64_t random[2] = {};
  if (!SystemFunction036(random, sizeof random)) {
    random[0] = GetCurrentProcessId();
    random[1] = GetTickCount64();
  }
  return kPrivateFolderPrefix + HexText(random[0], 16) + HexText(random[1], 16);
}

}  // namespace

String PrivateFolderSecurityText() {
  // The user's own programs run with the user's SID: an entry for the user would let any of them
  // replace the copy or its package between copying and starting. Only the elevated installer
  // (an administrator) writes here, and the high label keeps lower processes from writing up.
  return u"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)S:(ML;OICI;NW;;;HI)";
}

namespace {

void ScheduleDeleteAtReboot(const String& path) {
  // Best effort: only an administrator may schedule, and the files are harmless leftovers.
  if (!MoveFileExW(dlx::W(path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
    dlx::Log(u"Cannot schedule \"" + path + u"\" for deletion at restart (" + dlx::IntToStr(GetLastError()) +
             u")");
}

String FolderOf(const String& path) {
  return dlx::IncludeTrailingPathDelimiter(dlx::ExtractFilePath(path));
}

// Where the uninstaller's copy runs from: not the user's temporary folder, whose parent the user
// controls, but a folder that no standard user can rename or replace.
String ReadTempFolder() {
  return AdminTempFolder();
}

int ShellStartAndWait(const String& file, const String& parameters, const String& directory) {
  dlx::Log(u"Starting \"" + file + u"\" " + parameters);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = dlx::W(file);
  info.lpParameters = dlx::W(parameters);
  info.lpDirectory = dlx::W(directory);
  info.nShow = SW_SHOW;
  if (!ShellExecuteExW(&info)) {
    const DWORD code = GetLastError();
    throw dlx::EDLXOSError(code, SystemErrorMessage(code, file));
  }
  if (!info.hProcess) throw EInstallerMysteryError(u"Cannot Start the Uninstaller");
  dlx::TScopedHandle process(info.hProcess);
  dlx::WaitWithMessages(process.Get(), INFINITE);
  DWORD exitCode = InstallerExitFailed;
  if (!GetExitCodeProcess(process.Get(), &exitCode)) exitCode = InstallerExitFailed;
  dlx::Log(u"\"" + file + u"\" ended with exit code " + dlx::IntToStr(static_cast<int64_t>(exitCode)));
  return static_cast<int>(exitCode);
}

// Restores process-wide switches the entry changed, so that the entry can run more than once in
// one process (tests) and leaves nothing behind.
struct TEntryScope {
  bool suppressedBefore = dlx::MessageBoxesSuppressed();
  bool logOpened = false;
  // Shell calls (ShellExecute, the spawn window's starts) expect COM on the calling thread.
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  ~TEntryScope() {
    TInstallerSpawnService::Finalize();
    if (SUCCEEDED(com)) CoUninitialize();
    dlx::SetSuppressMessageBoxes(suppressedBefore);
    if (logOpened) dlx::TDLXLog::Close();
  }
};

int ReportFailure(const String& message, const TEntryEnvironment& environment) {
  dlx::Log(u"Start-up failed: " + message);
  environment.ShowMessage(message, MB_ICONERROR);
  return InstallerExitFailed;
}

// A second run changes nothing: it says why and leaves, without waiting for the first.
int ReportRunInProgress(const String& product, const TEntryEnvironment& environment) {
  dlx::Log(u"Another run of the setup of " + product + u" is in progress: this one changes nothing");
  environment.ShowMessage(FormatText(u"Another setup of %s is running on this computer. Wait until it has "
                                     u"finished, then start Setup again.",
                                     {product}),
                          MB_ICONWARNING);
  return InstallerExitInProgress;
}

// Removes the uninstaller's copy when the bootstrap is done with it, whichever way that ends.
class TUninstallerCopyCleanup {
 public:
  TUninstallerCopyCleanup() = default;
  TUninstallerCopyCleanup(const TUninstallerCopyCleanup&) = delete;
  TUninstallerCopyCleanup& operator=(const TUninstallerCopyCleanup&) = delete;
  ~TUninstallerCopyCleanup() {
    if (!program_.empty()) RemoveUninstallerCopy(program_);
  }
  void Arm(const String& program) { program_ = program; }

 private:
  String program_;
};

// logProblem: why the log that the arguments ask for cannot be written, or empty.
int RunInstaller(const String& args, const String& logProblem, const TEntryEnvironment& environment) {
  if (!ProductInfoClass) throw EInstallerGeneralError(u"ProductInfoClass is nil");

  if (environment.IsWinVistaOrLater()) {
    if (InitializeSpawnServiceFromArgs(args)) {
      // The elevated half of a relaunch: the partner waits for this process.
    } else if (!environment.IsUserAnAdmin()) {
      // The elevated process opens the log itself and may have the rights this one lacks.
      dlx::Log(u"Mode: elevation stub");
      return environment.RelaunchElevated(args);
    }
  }
  // Whoever asked for a log gets one or a failure, before anything is done.
  if (!logProblem.empty()) throw EInstallerGeneralError(logProblem);
  if (!environment.IsUserAnAdmin())
    throw EInstallerNoAdminRightsError(u"Administrator rights are required to process this operation.");

  // Declared first so that it is released last, after the installer object and its thread.
  TInstallerRunLock runLock;
  std::unique_ptr<TInstaller> installer = environment.CreateInstaller(args);
  const String product = installer->ProductInfo().GetName();
  if (installer->Mode() == imUninstall) {
    String path;
    if (TDLXCommandLineProcessor::FindSwitch(args, u"PATH", path) && !path.empty() &&
        dlx::DirectoryExists(path)) {
      installer->SetDestPath(path);
      // The bootstrap that started this copy runs from the installed uninstaller and waits for this
      // run: that file is in use until the run ends, and then by nothing.
      ExcuseInUse(installer->DestPath() + dlx::ExtractFileName(environment.ModuleFileName()));
    } else {
      const String temp = environment.TempFolder();
      const String module = environment.ModuleFileName();
      // The copy in the temporary folder lies in a folder of its own below it.
      if (IsPathInsideFolder(FolderOf(module), temp))
        throw EInstallerMysteryError(u"Cannot Start the Uninstaller");
      // The copy takes the lock itself; a removal that could not run is not even copied.
      if (TInstallerRunLock::HeldElsewhere(product)) return ReportRunInProgress(product, environment);
      dlx::Log(u"Mode: uninstaller bootstrap");
      return RelaunchUninstallerFromTemp(args, environment);
    }
  }
  // Before the first change to the machine, and before any window: a second run shows nothing but
  // the reason it stopped.
  if (!runLock.TryAcquire(product)) return ReportRunInProgress(product, environment);

  installer->Resources().ChooseAndInitializeLanguages(!installer->HasOption(ioAuto));
  const bool silent = installer->HasOption(ioSilent);
  if (!silent && gWizard) {
    dlx::Log(u"Mode: wizard (" + ModeText(*installer) +
             (installer->HasOption(ioAuto) ? u", unattended)" : u")"));
    const int code = gWizard(*installer);
    if (code == InstallerExitSuccess)
      dlx::Log(u"The run ended without errors");
    else if (code == InstallerExitRestartNeeded)
      dlx::Log(u"The run ended without errors; a restart of Windows finishes it");
    else if (code == InstallerExitCancelled)
      dlx::Log(u"The run was cancelled");
    else
      dlx::Log(u"The run ended with errors: " + installer->ErrorText());
    return code;
  }
  if (!silent && !installer->HasOption(ioAuto)) {
    // An interactive run needs the wizard (destination, license, options); installing without
    // asking would be worse than not installing.
    dlx::Log(u"Mode: wizard (" + ModeText(*installer) + u"), which this build does not contain");
    throw EInstallerGeneralError(
        u"The setup wizard is not available in this build.\r\nRun Setup with /AUTO /SILENT (see /?) to " +
        ModeText(*installer) + u" without it.");
  }
  if (silent)
    dlx::Log(u"Mode: silent " + ModeText(*installer));
  else
    dlx::Log(u"Mode: unattended " + ModeText(*installer) +
             u" with the wizard's progress window, which this build does not contain: running without a "
             u"window");

  installer->Start(true);
  if (installer->HasErrors()) {
    if (installer->Cancelled()) {
      dlx::Log(u"The run was cancelled");
      return InstallerExitCancelled;
    }
    throw EInstallerInstallError(installer->ErrorText());
  }
  installer->RunPostInstallActions();
  if (RestartNeeded()) {
    dlx::Log(u"The run ended without errors; a restart of Windows finishes it");
    return InstallerExitRestartNeeded;
  }
  dlx::Log(u"The run ended without errors");
  return InstallerExitSuccess;
}

}  // namespace

void SetInstallerWizard(TInstallerWizard wizard) {
  gWizard = wizard;
}

TEntryEnvironment TEntryEnvironment::System() {
  TEntryEnvironment environment;
  environment.IsWinVistaOrLater = [] { return dlx::IsWinVistaOrLater(); };
  environment.IsUserAnAdmin = [] { return ::IsUserAnAdmin() != FALSE; };
  environment.RelaunchElevated = [](const String& args) { return ::RelaunchElevated(args); };
  environment.ModuleFileName = [] { return dlx::GetExeName(); };
  environment.TempFolder = &ReadTempFolder;
  environment.StartProgram = &ShellStartAndWait;
  environment.CreateInstaller = [](const String& args) { return std::make_unique<TInstaller>(args); };
  environment.ShowMessage = [](const String& text, unsigned flags) {
    dlx::ShowErrorBox(nullptr, text, kCaption, flags);
  };
  return environment;
}

bool InitializeSpawnServiceFromArgs(const String& args) {
  String partner, token;
  if (!TDLXCommandLineProcessor::FindSwitch(args, u"SKIPUAC", partner)) return false;
  int64_t handle = 0;
  // A value that is no number counts as 0: this process then spawns through a window of its own.
  if (!dlx::TryStrToInt(partner, handle)) handle = 0;
  TDLXCommandLineProcessor::FindSwitch(args, u"SPAWNTOKEN", token);
  TInstallerSpawnService::Initialize(static_cast<intptr_t>(handle), token);
  return true;
}

String UsageText() {
  // A message box writes in a proportional font: tab or blank columns would not line up, so
  // every switch stands on a line of its own with its meaning indented below it.
  return u"ZUVA Setup\r\n"
         u"\r\n"
         u"ZUVASetup.exe [/AUTO[=<folder>] [/DIR=<folder>] [/SILENT] [/UPDATE [/RUN]]\r\n"
         u"        [/PORTABLE] [/NOBACKUP] [/SUPPRESSMSGBOXES]] [/LOG=<file>]\r\n"
         u"Uninstall.exe [/AUTO [/SILENT] [/SUPPRESSMSGBOXES]] [/LOG=<file>]\r\n"
         u"\r\n"
         u"/AUTO[=<folder>]\r\n"
         u"        Unattended run, into <folder> or the default folder; the wizard shows\r\n"
         u"        its install page only.\r\n"
         u"/DIR=<folder>\r\n"
         u"        With /AUTO: install into <folder>, whatever the value of /AUTO is (for\r\n"
         u"        package managers, which add it to switches that hold /AUTO already).\r\n"
         u"/SILENT\r\n"
         u"        With /AUTO: no wizard at all; errors still show in a message box unless\r\n"
         u"        /SUPPRESSMSGBOXES is given. Not read together with /UPDATE.\r\n"
         u"/UPDATE\r\n"
         u"        With /AUTO: update the installation in the folder; fails when there is none.\r\n"
         u"/PORTABLE\r\n"
         u"        With /AUTO: portable installation (never under Program Files).\r\n"
         u"/NOBACKUP\r\n"
         u"        With /AUTO: no backup of the installation that is replaced.\r\n"
         u"/RUN\r\n"
         u"        With /AUTO /UPDATE: start the product afterwards.\r\n"
         u"/SUPPRESSMSGBOXES\r\n"
         u"        With /AUTO: no message box at all; errors go to the log and the exit code.\r\n"
         u"/LOG=<file>\r\n"
         u"        Append a UTF-8 log of the run to <file>, creating its folder; Setup stops\r\n"
         u"        (1603) when it cannot write it.\r\n"
         u"/?\r\n"
         u"        This text.\r\n"
         u"\r\n"
         u"A value holding blanks is quoted, or the whole switch is:\r\n"
         u"        /AUTO=\"C:\\My Apps\\ZUVA\"    or    \"/AUTO=C:\\My Apps\\ZUVA\"\r\n"
         u"\r\n"
         u"Exit codes:\r\n"
         u"        0 success\r\n"
         u"        1602 cancelled by the user (also when the elevation prompt is declined)\r\n"
         u"        1603 the run or the start-up failed\r\n"
         u"        1618 another setup of this product is running; nothing was changed\r\n"
         u"        3010 success; a restart of Windows finishes the run (Setup never\r\n"
         u"        restarts the computer itself)";
}

String FindDotLocalRedirection(const String& programPath) {
  const String redirection = programPath + u".local";
  if (dlx::GetFileAttributes(redirection) >= 0) return redirection;
  return String();
}

bool IsPathInsideFolder(const String& path, const String& folder) {
  if (folder.empty() || path.size() < folder.size()) return false;
  return dlx::SameText(dlx::StringView(path).substr(0, folder.size()), folder);
}

String CreatePrivateFolder(const String& parent) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(dlx::W(PrivateFolderSecurityText()),
                                                            SDDL_REVISION_1, &descriptor, nullptr)) {
    const DWORD code = GetLastError();
    throw dlx::EDLXOSError(code, SystemErrorMessage(code, String()));
  }
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof attributes;
  attributes.lpSecurityDescriptor = descriptor;
  attributes.bInheritHandle = FALSE;
  String folder;
  DWORD code = ERROR_ALREADY_EXISTS;
  for (int attempt = 0; attempt < 16 && code == ERROR_ALREADY_EXISTS; ++attempt) {
    folder = dlx::IncludeTrailingPathDelimiter(parent) + UniqueFolderName();
    // Fails on an existing name, so a folder someone else prepared is never used.
    code = CreateDirectoryW(dlx::W(folder), &attributes) ? ERROR_SUCCESS : GetLastError();
  }
  LocalFree(descriptor);
  if (code != ERROR_SUCCESS) throw dlx::EDLXOSError(code, SystemErrorMessage(code, folder));
  dlx::Log(u"Created the private folder \"" + folder + u"\"");
  return folder + u"\\";
}

String CopyIntoFolder(const String& source, const String& folder) {
  const String target = dlx::IncludeTrailingPathDelimiter(folder) + dlx::ExtractFileName(source);
  if (!dlx::CopyFile(source, target, false)) {
    const uint32_t code = dlx::platform::LastError();
    throw dlx::EDLXOSError(code, SystemErrorMessage(code, source + u" -> " + target));
  }
  dlx::Log(u"Copied \"" + source + u"\" to \"" + target + u"\"");
  return target;
}

void RemoveUninstallerCopy(const String& program) {
  if (dlx::DeleteFile(program)) {
    dlx::Log(u"Deleted the uninstaller's copy \"" + program + u"\"");
  } else {
    // A program still running cannot be deleted, but it can be renamed: parked in a private
    // folder under a fresh name, it leaves its folder free and goes at the next restart.
    String parked;
    try {
      parked = ParkingName();
    } catch (const dlx::EDLXException& e) {
      dlx::Log(u"No temporary name to move the uninstaller's copy aside: " + e.Message());
    }
    if (!parked.empty() && dlx::MoveFile(program, parked)) {
      dlx::Log(u"Moved the uninstaller's copy \"" + program + u"\" to \"" + parked + u"\"");
      DeleteParkedAtRestart(parked);
    } else {
      DeleteFileOrSchedule(program);
    }
  }
  DeleteFileOrSchedule(dlx::ChangeFileExt(program, u".dat"));
  const String folder = dlx::ExcludeTrailingPathDelimiter(dlx::ExtractFilePath(program));
  // The copy was started in its folder; as the current folder it could not be removed.
  if (IsPathInsideFolder(dlx::GetCurrentDir(), dlx::IncludeTrailingPathDelimiter(folder)))
    dlx::SetCurrentDir(dlx::ExtractFilePath(folder));
  if (dlx::RemoveDirectory(folder)) {
    dlx::Log(u"Removed the uninstaller's folder \"" + folder + u"\"");
    return;
  }
  dlx::Log(u"The uninstaller's folder \"" + folder + u"\" is not empty yet (" +
           dlx::IntToStr(GetLastError()) + u"); it goes at the next restart");
  ScheduleDeleteAtReboot(folder);
}

int RelaunchUninstallerFromTemp(const String& args, const TEntryEnvironment& environment) {
  const String module = environment.ModuleFileName();
  const String folder = CreatePrivateFolder(environment.TempFolder());
  String program, package;
  try {
    program = CopyIntoFolder(module, folder);
    // Without its package the copy could not run: a missing .dat file is an error here.
    package = CopyIntoFolder(dlx::ChangeFileExt(module, u".dat"), folder);
  } catch (...) {
    if (!program.empty()) dlx::DeleteFile(program);
    dlx::RemoveDirectory(folder);
    throw;
  }
  // The folder last: a restart removes it only once it is empty.
  ScheduleDeleteAtReboot(program);
  ScheduleDeleteAtReboot(package);
  ScheduleDeleteAtReboot(dlx::ExcludeTrailingPathDelimiter(folder));
  // Removed when the copy has ended (or could not start), since nothing holds its files then.
  TUninstallerCopyCleanup cleanup;
  cleanup.Arm(program);
  // Waited for, so that whoever started the uninstaller learns how the removal ended.
  return environment.StartProgram(program, dlx::FormatSwitch(u"PATH", FolderOf(module), args), folder);
}

int RunInstallerEntry(const String& args, const TEntryEnvironment& environment) {
  TEntryScope scope;
  // Unattended runs may ask for no message box at all, start-up failures included.
  const bool suppress = TDLXCommandLineProcessor::HasSwitch(args, u"AUTO") &&
                        TDLXCommandLineProcessor::HasSwitch(args, u"SUPPRESSMSGBOXES");
  if (suppress) dlx::SetSuppressMessageBoxes(true);
  // The log first, so that every later decision and failure is in it.
  String logProblem;
  if (!dlx::TDLXLog::IsOpen()) {
    try {
      scope.logOpened = OpenLogFromCommandLine(args);
    } catch (const dlx::EDLXException& e) {
      logProblem = e.Message();
    }
  }
  dlx::Log(u"Setup starts: \"" + environment.ModuleFileName() + u"\" " + ArgumentsForLog(args));
  if (suppress) dlx::Log(u"Message boxes are suppressed");
  LogIgnoredArguments(args);

  int exitCode = InstallerExitFailed;
  try {
    if (TDLXCommandLineProcessor::HasSwitch(args, u"?")) {
      environment.ShowMessage(UsageText(), MB_ICONINFORMATION);
      return InstallerExitSuccess;
    }
    const String redirection = FindDotLocalRedirection(environment.ModuleFileName());
    if (!redirection.empty())
      throw EInstallerGeneralError(FormatText(
          u"Setup does not start while \"%s\" exists: it would let other libraries into Setup. Remove it "
          u"and start Setup again.",
          {redirection}));
    exitCode = RunInstaller(args, logProblem, environment);
  } catch (const dlx::EDLXAbort&) {
    dlx::Log(u"Setup was aborted");
    exitCode = InstallerExitCancelled;
  } catch (const dlx::EDLXException& e) {
    exitCode = ReportFailure(e.Message(), environment);
  } catch (const std::exception& e) {
    exitCode = ReportFailure(dlx::FromUtf8(e.what()), environment);
  } catch (...) {
    exitCode = ReportFailure(u"Unexpected error", environment);
  }
  dlx::Log(u"Setup ends with exit code " + dlx::IntToStr(exitCode));
  return exitCode;
}

int InstallerMain() {
  return RunInstallerEntry(dlx::GetCommandLineArgs(), TEntryEnvironment::System());
}
