// The steps of a run. The product information names the action classes; the installer thread
// creates them, runs them in order on the worker thread and turns their progress into the two
// percentages of the progress page.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "core/product_info.h"
#include "lib/dlx_string.h"
#include "lib/ini_file.h"

class TInstallerResources;
class TInstallerScript;
class TInstallerScriptFile;
class TInstallerSummaryBuilder;

// Gives its descendants the parts of the installer object.
class TInstallerPersistent {
 public:
  virtual ~TInstallerPersistent() = default;

 protected:
  TInstallerProductInfo& ProductInfo();
  TInstallerResources& Resources();
  dlx::TDLXIniFile& Settings();
  TInstallerScript& Script();
};

class TInstallerAction : public TInstallerPersistent {
 public:
  TInstallerAction() = default;
  TInstallerAction(const TInstallerAction&) = delete;
  TInstallerAction& operator=(const TInstallerAction&) = delete;

  // The action's work, on the installer thread.
  virtual void Execute() = 0;
  // Describes what the action will do, on the main thread before any run; may rely only on the
  // options and settings.
  virtual void BuildSummary(TInstallerSummaryBuilder& builder) {}
  // Called from the main thread when the run is cancelled while this action is current.
  virtual void Cancel() {}
  // True for an action that changes nothing on the machine: it may run while the product package
  // is still being decoded. Before any other action the run waits for the package, so a damaged
  // one ends the run before the first change.
  virtual bool RunsBeforeThePackageIsChecked() const { return false; }

  // What the installer thread calls to cancel the run while this action is current: marks the
  // request (CancelRequested) and calls Cancel.
  void RequestCancel();
  bool CancelRequested() const { return cancelRequested_.load(); }
  // True when the action ended early because of a cancel request (see StopRequested): the run
  // then did not complete, even when this was its last action.
  bool Stopped() const { return stopped_; }

  // Execute, then progress 100 (unless the action stopped early).
  void Run();
  // Values outside 0..100 are clamped; an unchanged value is not reported again.
  void SetProgress(int value);
  int Progress() const { return progress_; }
  std::function<void(TInstallerAction&)> OnProgress;

  // A status line for the progress page (blocks until the main thread has shown it).
  void ReportStatus(const dlx::String& text);
  dlx::String GetText(const dlx::String& section, const dlx::String& key);
  dlx::String GetCommonText(const dlx::String& key);

  // Writes one script entry to its target (the installer's extract helper).
  void ExtractScriptFile(const TInstallerScriptFile& entry);
  void ForceTargetFolder(const dlx::String& folder);
  // Leaves Uninstall.exe, Uninstall.dat with the uninstall log of the entries and, unless the
  // installation is portable, the entry in the list of installed programs in the folder.
  void WriteUninstallInfo(const dlx::String& folder, const std::vector<TInstallerScriptFile*>& entries);

 protected:
  // For actions that work in steps, asked between two steps: true when the run is being
  // cancelled, and the action then counts as stopped early.
  bool StopRequested();

 private:
  int progress_ = 0;
  std::atomic<bool> cancelRequested_{false};
  bool stopped_ = false;
};

template <typename T>
std::unique_ptr<TInstallerAction> CreateAction() {
  return std::make_unique<T>();
}

// The actions of a run, owned, in run order.
class TInstallerActionList {
 public:
  void Add(std::unique_ptr<TInstallerAction> action) { items_.push_back(std::move(action)); }
  int Count() const { return static_cast<int>(items_.size()); }
  TInstallerAction& Items(int index) const { return *items_.at(static_cast<size_t>(index)); }
  void Clear() { items_.clear(); }
  // Mean of the actions' progress (integer division); 0 for an empty list.
  int GetOverallProgress() const;

 private:
  std::vector<std::unique_ptr<TInstallerAction>> items_;
};
