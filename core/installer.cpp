#include "core/installer.h"

#include <algorithm>

#include "core/errors.h"
#include "core/extract_helper.h"
#include "core/installer_thread.h"
#include "core/package/package.h"
#include "core/paths.h"
#include "core/pending_restart.h"
#include "core/product_info.h"
#include "core/resources.h"
#include "core/spawn_service.h"
#include "core/texts.h"
#include "lib/command_line.h"
#include "lib/file_system.h"
#include "lib/log.h"
#include "lib/platform/text.h"
#include "lib/win/system.h"
#include "lib/win/thread.h"

// Required by the destructor of the owned script (forward-declared in the resources header).
#include "core/script/install_script.h"

using dlx::String;

TInstaller* Installer = nullptr;

namespace {

const wchar_t kWindowClass[] = L"TInstaller";

String OptionsText(TInstallerOptions options) {
  static const char16_t* const names[] = {u"Auto", u"Portable", u"Update", u"Silent", u"Run", u"NoBackup"};
  String text;
  for (int i = 0; i < 6; ++i)
    if (options.Contains(i)) {
      if (!text.empty()) text += u',';
      text += names[i];
    }
  return text.empty() ? u"(none)" : text;
}

// Prefix test ignoring case under the user's locale.
bool StartsWithText(const String& text, const String& prefix) {
  if (prefix.empty() || text.size() < prefix.size()) return false;
  return dlx::SameText(dlx::StringView(text).substr(0, prefix.size()), prefix);
}

String LongPathName(const String& path) {
  DWORD size = GetLongPathNameW(dlx::W(path), nullptr, 0);
  if (size == 0) return path;  // the folder does not exist (yet): keep the text
  std::vector<wchar_t> buffer(size + 1);
  DWORD length = GetLongPathNameW(dlx::W(path), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (length == 0 || length >= buffer.size()) return path;
  return dlx::FromW(buffer.data(), length);
}

}  // namespace

String CanonicalDestination(const String& folder) {
  if (folder.empty()) return String();
  // Absolute, "/" read as "\", "." and ".." resolved; then the same validation every script path
  // gets, so that "$DEST\x" expands to a path inside exactly this folder.
  String path = dlx::ValidateFilePath(CanonicalPath(folder));
  if (path.empty()) throw EInstallerInstallError(FormatText(u"\"%s\" is no folder name", {folder}));
  if (path.find(u'~') != String::npos) path = LongPathName(path);
  if (path.back() != u'\\') path += u'\\';
  return path;
}

String ArgumentsForLog(const String& args) {
  String token;
  if (!dlx::TDLXCommandLineProcessor::FindSwitch(args, u"SPAWNTOKEN", token) || token.empty()) return args;
  String text = args;
  for (size_t at = text.find(token); at != String::npos; at = text.find(token, at))
    text.replace(at, token.size(), u"*");
  return text;
}

TInstaller::TInstaller(const String& args) {
  Construct(args, nullptr);
}

TInstaller::TInstaller(const String& args, TInstallerPackages packages) {
  Construct(args, &packages);
}

void TInstaller::Construct(const String& args, TInstallerPackages* packages) {
  // The sub-objects reach the installer through the global during their own construction.
  Installer = this;
  ClearRestartNeeded();
  try {
    settings_ = std::make_unique<dlx::TDLXIniFile>();
    errors_ = std::make_unique<dlx::TDLXStringList>();
    if (!ProductInfoClass) throw EInstallerGeneralError(u"ProductInfoClass is nil");
    productInfo_ = ProductInfoClass();
    resources_ =
        std::make_unique<TInstallerResources>(packages ? std::move(*packages) : TInstallerPackages());
    extractHelper_ = std::make_unique<TInstallerExtractHelper>();
    CreateWindowOnMainThread();
    ParseCommandLine(args);
  } catch (...) {
    // No destructor runs for a half-built object: the global must not keep pointing at it.
    if (Installer == this) Installer = nullptr;
    throw;
  }
  dlx::Log(u"Installer: mode " + String(mode_ == imInstall ? u"install" : u"uninstall") + u", options " +
           OptionsText(options_) + u", destination \"" + destPath_ + u"\"");
}

TInstaller::~TInstaller() {
  // A running thread is terminated and joined while the window can still deliver its events.
  FreeThread();
  settings_.reset();
  errors_.reset();
  {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    listeners_.clear();
  }
  productInfo_.reset();
  extractHelper_.reset();
  resources_.reset();
  window_.Reset();
  if (Installer == this) Installer = nullptr;
}

void TInstaller::CreateWindowOnMainThread() {
  if (!dlx::IsMainThread()) throw dlx::EDLXInvalidOperation(u"Cannot create window in non-main thread");
  HWND window = dlx::CreateMessageOnlyWindow(kWindowClass, &TInstaller::WndProc);
  if (!window) {
    const DWORD code = GetLastError();
    throw dlx::EDLXOSError(code, u"Cannot create the installer window (" + dlx::IntToStr(code) + u")");
  }
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  window_.Reset(window);
}

void TInstaller::ParseCommandLine(const String& args) {
  using dlx::TDLXCommandLineProcessor;
  String value;
  if (resources_->IsUninstallerPackage()) {
    mode_ = imUninstall;
    options_ = {};
    if (TDLXCommandLineProcessor::HasSwitch(args, u"AUTO")) {
      options_ = options_.With(ioAuto);
      if (TDLXCommandLineProcessor::HasSwitch(args, u"SILENT")) options_ = options_.With(ioSilent);
    }
  } else if (TDLXCommandLineProcessor::FindSwitch(args, u"AUTO", value)) {
    mode_ = imInstall;
    options_ = {ioAuto};
    // Package managers add their location switch to fixed switches that already hold /AUTO, and the
    // first /AUTO is the one read: the folder of /DIR therefore comes first.
    String folder;
    if (TDLXCommandLineProcessor::FindSwitch(args, u"DIR", folder) && !folder.empty()) value = folder;
    SetDestPath(value.empty() ? productInfo_->GetDefaultPath() : value);
    if (TDLXCommandLineProcessor::HasSwitch(args, u"NOBACKUP")) options_ = options_.With(ioNoBackup);
    if (TDLXCommandLineProcessor::HasSwitch(args, u"RUN")) options_ = options_.With(ioRun);
    if (TDLXCommandLineProcessor::HasSwitch(args, u"UPDATE")) {
      if (!productInfo_->CanUpdate())
        throw EInstallerUpdateError(
            FormatText(u"Cannot install update on v%s", {productInfo_->GetInstalledVersionText()}));
    } else {
      if (TDLXCommandLineProcessor::HasSwitch(args, u"PORTABLE")) {
        // An update keeps the kind of the copy it updates (SetDestPath).
        if (options_.Contains(ioUpdate) && !productInfo_->IsInstalledPortable())
          dlx::Log(u"Switch /PORTABLE ignored: \"" + destPath_ +
                   u"\" holds a normal installation, which is updated as one");
        else
          options_ = options_.With(ioPortable);
      }
      if (TDLXCommandLineProcessor::HasSwitch(args, u"SILENT")) options_ = options_.With(ioSilent);
    }
  } else {
    mode_ = imInstall;
    options_ = {ioUpdate};
    SetDestPath(productInfo_->GetDefaultPath());
  }
}

void TInstaller::SetDestPath(const String& folder) {
  if (folder == destPath_) return;
  const String path = CanonicalDestination(folder);
  if (!path.empty() && IsProtectedFolder(path)) {
    dlx::Log(u"Refused destination \"" + folder + u"\" (" + path + u")");
    throw EInstallerInstallError(CommonText(u"E5", {path}));
  }
  destPath_ = path;

  productInfo_->LoadInstalledInfo();
  options_ = productInfo_->CanUpdate() ? options_.With(ioUpdate) : options_.Without(ioUpdate);
  ValidateOptions();
}

void TInstaller::SetOption(TInstallerOption option, bool on) {
  SetOptions(on ? options_.With(option) : options_.Without(option));
}

void TInstaller::SetOptions(TInstallerOptions options) {
  if (options == options_) return;
  if (options.Contains(ioAuto) != options_.Contains(ioAuto) ||
      options.Contains(ioSilent) != options_.Contains(ioSilent))
    throw EInstallerMysteryError(u"Invalid Arguments");
  options_ = options;
  ValidateOptions();
}

bool TInstaller::ValidateOptions() {
  if (!productInfo_->CanUpdate()) options_ = options_.Without(ioUpdate);
  // A copy that is updated keeps its kind, whichever kind was chosen before.
  if (options_.Contains(ioUpdate))
    options_ = productInfo_->IsInstalledPortable() ? options_.With(ioPortable) : options_.Without(ioPortable);
  const bool underProgramFiles = IsDestUnderProgramFiles();
  if (underProgramFiles) options_ = options_.Without(ioPortable);
  return underProgramFiles;
}

bool TInstaller::IsDestUnderProgramFiles() const {
  return StartsWithText(destPath_, resources_->ProgramFilesPath()) ||
         StartsWithText(destPath_, resources_->ProgramFilesAltPath());
}

bool TInstaller::HasErrors() const {
  std::lock_guard<std::mutex> guard(errorsLock_);
  return errors_ && errors_->Count() > 0;
}

void TInstaller::AddError(const String& text) {
  dlx::Log(u"Error: " + text);
  std::lock_guard<std::mutex> guard(errorsLock_);
  if (errors_) errors_->Add(text);
}

String TInstaller::ErrorText() const {
  std::lock_guard<std::mutex> guard(errorsLock_);
  return errors_ ? errors_->GetDelimitedText(u"\r\n", false) : String();
}

int TInstaller::ErrorCount() const {
  std::lock_guard<std::mutex> guard(errorsLock_);
  return errors_ ? errors_->Count() : 0;
}

int TInstaller::ExitCode() const {
  if (cancelled_) return InstallerExitCancelled;
  if (HasErrors()) return InstallerExitFailed;
  return RestartNeeded() ? InstallerExitRestartNeeded : InstallerExitSuccess;
}

void TInstaller::AddListener(IInstallerNotify* listener) {
  if (!listener) return;
  std::lock_guard<std::recursive_mutex> guard(lock_);
  listeners_.push_back(listener);
}

void TInstaller::RemoveListener(IInstallerNotify* listener) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  for (size_t i = listeners_.size(); i-- > 0;)
    if (listeners_[i] == listener) {
      listeners_.erase(listeners_.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
}

LRESULT TInstaller::PostEvent(TInstallerEvent event, intptr_t data) {
  return SendMessageW(window_.Get(), WM_USER, static_cast<WPARAM>(event), static_cast<LPARAM>(data));
}

LRESULT TInstaller::PostText(TInstallerEvent event, const String& text) {
  COPYDATASTRUCT copy{};
  copy.dwData = static_cast<ULONG_PTR>(event);
  copy.cbData = static_cast<DWORD>(text.size() * sizeof(char16_t));
  copy.lpData = const_cast<char16_t*>(text.data());
  return SendMessageW(window_.Get(), WM_COPYDATA, reinterpret_cast<WPARAM>(window_.Get()),
                      reinterpret_cast<LPARAM>(&copy));
}

LRESULT CALLBACK TInstaller::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TInstaller*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self && (message == WM_USER || message == WM_COPYDATA)) {
    // An exception must not unwind through the system's message dispatch (the sending thread
    // would never learn of it): it becomes an error of the run instead.
    try {
      if (message == WM_USER) {
        self->NotifyListeners(static_cast<int>(wParam), static_cast<intptr_t>(lParam));
        return 0;
      }
      const auto* copy = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (copy && reinterpret_cast<HWND>(wParam) == window) {
        String text;
        if (copy->lpData) text.assign(static_cast<const char16_t*>(copy->lpData), copy->cbData / 2);
        self->NotifyListeners(static_cast<int>(copy->dwData), reinterpret_cast<intptr_t>(&text));
        return 1;
      }
      return 0;
    } catch (const dlx::EDLXException& e) {
      self->AddError(e.Message());
    } catch (const std::exception& e) {
      self->AddError(dlx::FromUtf8(e.what()));
    } catch (...) {
      self->AddError(u"Unexpected error in an event listener");
    }
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void TInstaller::NotifyListeners(int event, intptr_t data) {
  std::lock_guard<std::recursive_mutex> guard(lock_);
  if (event == ieFinished) {
    state_ = isFinished;
    if (data != 0) {
      cancelled_ = true;
      AddError(resources_->GetString(u"Common", u"E4"));
    }
    dlx::Log(u"Run finished" + String(data != 0 ? u" (cancelled)" : u""));
  }
  // Newest first. A listener may add or remove listeners meanwhile: the calls follow the list as
  // it was, skipping any listener that has been removed since (it may be gone already).
  const std::vector<IInstallerNotify*> snapshot = listeners_;
  for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
    if (std::find(listeners_.begin(), listeners_.end(), *it) == listeners_.end()) continue;
    (*it)->Notify(static_cast<TInstallerEvent>(event), data);
  }
}

void TInstaller::Start(bool wait) {
  if (state_ != isIdle) return;
  if (destPath_.empty()) throw EInstallerInstallError(u"DestPath is empty");
  ValidateOptions();
  state_ = isRunning;
  dlx::Log(u"Run starts: options " + OptionsText(options_) + u", destination \"" + destPath_ + u"\"");
  thread_ = std::make_unique<TInstallerThread>();
  thread_->Resume();
  if (wait) thread_->WaitFor();
}

void TInstaller::FreeThread() {
  // Detach first, so that nothing reaches a thread that is being destroyed.
  std::unique_ptr<TInstallerThread> thread = std::move(thread_);
  thread.reset();
}

std::vector<String> TInstaller::PostInstallCommands() {
  std::vector<String> commands;
  if (HasErrors() || mode_ != imInstall) return commands;
  // Without the closing page's answers (a silent run) the programs start only after an
  // unattended update that asked for them.
  const bool byDefault = HasOption(ioAuto) && HasOption(ioUpdate) && HasOption(ioRun);
  const TInstallerScriptGroup& actions = resources_->Script().Actions();
  for (int i = 0; i < actions.Count(); ++i) {
    const TInstallerScriptFile* entry = actions.Items(i);
    if (settings_->ReadBool(u"Actions", entry->Name, byDefault))
      commands.push_back(resources_->ExpandPath(entry->Name));
  }
  return commands;
}

void TInstaller::RunPostInstallActions() {
  for (const String& command : PostInstallCommands()) TInstallerSpawnService::Spawn(command);
}
