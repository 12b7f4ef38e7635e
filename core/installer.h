// The one installer object of the process: mode, options, destination, the user's choices, the
// errors of the run, the installer's material and the product information, the worker thread,
// and the channel by which that thread reaches the user interface: a message-only window on the
// main thread that turns messages from any thread into calls of the registered listeners.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/ini_file.h"
#include "lib/string_list.h"
#include "lib/win/handles.h"

class TInstallerExtractHelper;
class TInstallerProductInfo;
class TInstallerResources;
class TInstallerThread;
struct TInstallerPackages;

enum TInstallerMode : uint8_t { imInstall = 0, imUninstall = 1 };

enum TInstallerOption : uint8_t {
  ioAuto = 0,
  ioPortable = 1,
  ioUpdate = 2,
  ioSilent = 3,
  ioRun = 4,
  ioNoBackup = 5,
};

// A set of options held in one byte, bit n standing for the option of value n.
class TInstallerOptions {
 public:
  constexpr TInstallerOptions() = default;
  constexpr TInstallerOptions(std::initializer_list<TInstallerOption> options) {
    for (auto option : options) bits_ |= Bit(option);
  }
  static constexpr TInstallerOptions FromBits(uint8_t bits) {
    TInstallerOptions options;
    options.bits_ = bits;
    return options;
  }
  // Options beyond the byte are never members.
  constexpr bool Contains(int option) const { return option >= 0 && option < 8 && (bits_ >> option) & 1; }
  constexpr TInstallerOptions With(TInstallerOption option) const { return FromBits(bits_ | Bit(option)); }
  constexpr TInstallerOptions Without(TInstallerOption option) const {
    return FromBits(bits_ & static_cast<uint8_t>(~Bit(option)));
  }
  constexpr uint8_t Bits() const { return bits_; }
  constexpr bool operator==(const TInstallerOptions&) const = default;

 private:
  static constexpr uint8_t Bit(TInstallerOption option) { return static_cast<uint8_t>(1u << option); }
  uint8_t bits_ = 0;
};

enum TInstallerState : uint8_t { isIdle = 0, isRunning = 1, isFinished = 2 };

enum TInstallerEvent : int {
  ieFinished = 1,          // Data: 1 when the thread was terminated, else 0
  ieProgress = 2,          // Data: low word current action 0..100, high word overall 0..100
  ieStatusText = 4,        // Data: address of a dlx::String, valid during the call only
  iePageStateChanged = 5,  // Data: 0
  ieRepaint = 6,           // Data: 0
};

// A listener of the installer's events. Listeners run on the main thread only, newest first.
// The installer does not own them: whoever registers a listener keeps it alive until it has
// removed it again.
class IInstallerNotify {
 public:
  virtual void Notify(TInstallerEvent Event, intptr_t Data) = 0;

 protected:
  ~IInstallerNotify() = default;
};

// Process exit codes (the values Windows Installer uses, which deployment tools understand).
constexpr int InstallerExitSuccess = 0;
constexpr int InstallerExitCancelled = 1602;
constexpr int InstallerExitFailed = 1603;
// Another run of this product's setup is in progress; this one changed nothing.
constexpr int InstallerExitInProgress = 1618;
// Success, but a restart of Windows finishes the run (see pending_restart.h).
constexpr int InstallerExitRestartNeeded = 3010;

// The arguments as the log shows them: the spawn service's token (/SPAWNTOKEN) replaced by "*",
// since the log file is readable by the user's other programs.
dlx::String ArgumentsForLog(const dlx::String& args);

// The one form of an installation folder: absolute (GetFullPathNameW, "/" read as "\"), each part
// validated like a script path, short names made long, with a trailing backslash; "" stays "".
// Raises EInstallerInstallError for a text that names no folder.
dlx::String CanonicalDestination(const dlx::String& folder);

class TInstaller {
 public:
  // Opens the installer's material from the running module (the SETUP and PRODUCT resources, or
  // Uninstall.dat beside Uninstall.exe); packages given here are used instead (tests build them
  // in memory). Must run on the main thread; the new object becomes the global Installer.
  explicit TInstaller(const dlx::String& args);
  TInstaller(const dlx::String& args, TInstallerPackages packages);
  ~TInstaller();
  TInstaller(const TInstaller&) = delete;
  TInstaller& operator=(const TInstaller&) = delete;

  // Nothing happens for the current text. Otherwise the folder is made canonical
  // (CanonicalDestination) and taken, unless it is a drive root or a folder of the system or of a
  // user (IsProtectedFolder): then EInstallerInstallError says so and DestPath stays.
  void SetDestPath(const dlx::String& folder);
  const dlx::String& DestPath() const { return destPath_; }

  bool HasOption(int option) const { return options_.Contains(option); }
  void SetOption(TInstallerOption option, bool on);
  void SetOptions(TInstallerOptions options);
  TInstallerOptions Options() const { return options_; }
  TInstallerMode Mode() const { return mode_; }
  TInstallerState State() const { return state_; }

  bool ValidateOptions();
  bool IsDestUnderProgramFiles() const;

  bool HasErrors() const;
  void AddError(const dlx::String& text);
  // A copy, since the worker thread may still be adding to the list.
  dlx::String ErrorText() const;
  int ErrorCount() const;
  // True once a run ended because it was cancelled.
  bool Cancelled() const { return cancelled_; }
  // What the process should return: success (or success that needs a restart), cancelled or
  // failed.
  int ExitCode() const;

  void AddListener(IInstallerNotify* listener);
  void RemoveListener(IInstallerNotify* listener);

  // Callable from any thread; block until the main thread has run the listeners.
  LRESULT PostEvent(TInstallerEvent event, intptr_t data);
  LRESULT PostText(TInstallerEvent event, const dlx::String& text);
  // Main thread only (WndProc calls it).
  void NotifyListeners(int event, intptr_t data);

  void Start(bool wait);
  void FreeThread();
  // Starts the chosen post-install programs through the spawn service (nothing after errors or
  // in uninstall mode).
  void RunPostInstallActions();
  // The expanded commands RunPostInstallActions would start, in script order.
  std::vector<dlx::String> PostInstallCommands();

  dlx::TDLXIniFile& Settings() { return *settings_; }
  dlx::TDLXStringList& Errors() { return *errors_; }
  TInstallerProductInfo& ProductInfo() { return *productInfo_; }
  TInstallerResources& Resources() { return *resources_; }
  TInstallerExtractHelper& ExtractHelper() { return *extractHelper_; }
  TInstallerThread* Thread() { return thread_.get(); }
  HWND Window() const { return window_.Get(); }

 private:
  void Construct(const dlx::String& args, TInstallerPackages* packages);
  void ParseCommandLine(const dlx::String& args);
  void CreateWindowOnMainThread();
  static LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  std::unique_ptr<dlx::TDLXIniFile> settings_;
  dlx::String destPath_;
  std::unique_ptr<dlx::TDLXStringList> errors_;
  mutable std::mutex errorsLock_;
  dlx::TWindowHandle window_;
  std::vector<IInstallerNotify*> listeners_;
  // Recursive: a listener may add or remove listeners while it is being notified.
  std::recursive_mutex lock_;
  TInstallerMode mode_ = imInstall;
  TInstallerOptions options_;
  std::unique_ptr<TInstallerProductInfo> productInfo_;
  std::unique_ptr<TInstallerResources> resources_;
  std::unique_ptr<TInstallerExtractHelper> extractHelper_;
  TInstallerState state_ = isIdle;
  bool cancelled_ = false;
  std::unique_ptr<TInstallerThread> thread_;
};

// The installer object of the process, or null outside its lifetime.
extern TInstaller* Installer;
