// The worker thread of a run: creates the actions the product information names, runs them one
// after the other and reports progress and the end of the run as events.
#pragma once

#include <mutex>

#include "core/action.h"
#include "lib/win/thread.h"

class TInstallerThread : public dlx::TDLXThread {
 public:
  // Created suspended; the installer object resumes it.
  TInstallerThread();
  ~TInstallerThread() override;

  // Marks the thread terminated and tells the current action to cancel; the run stops after it.
  void Terminate() override;

  TInstallerActionList& Actions() { return actions_; }

 protected:
  void Execute() override;
  virtual void PopulateActions();
  void SetCurrentAction(TInstallerAction* action);
  void ReportProgress();

 private:
  TInstallerActionList actions_;
  TInstallerAction* currentAction_ = nullptr;
  std::mutex lock_;
};
