// The run's journal: every step of an installation that changes the machine records, before it
// changes anything, how to undo it. A run that fails or is cancelled plays the journal backwards,
// so a failed fresh installation leaves nothing behind and a failed update leaves the previous
// installation as it was. A run that ends well simply forgets the journal.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/action.h"
#include "core/errors.h"
#include "core/installer.h"
#include "core/installer_thread.h"
#include "lib/dlx_string.h"
#include "lib/string_list.h"

class TInstallerRunJournal {
 public:
  // An undo step returns the lines it wants the user to read (the error list and the log); it
  // must not raise, and a step that cannot undo everything says so in its lines.
  using TUndo = std::function<void(dlx::TDLXStringList& report)>;

  // Forgets every step (a new run starts).
  void Reset();
  void Record(const dlx::String& description, TUndo undo);
  int Count() const { return static_cast<int>(steps_.size()); }
  // Runs the steps newest first, each once, and forgets them; returns what they reported, one
  // line each. Every step and its outcome go to the log.
  dlx::String Rollback();

 private:
  struct TStep {
    dlx::String Description;
    TUndo Undo;
  };
  std::vector<TStep> steps_;
};

// The journal of the process's run (the worker thread's alone while a run is in progress).
TInstallerRunJournal& RunJournal();

// An action whose failure or cancellation undoes the run: the journal is played back before the
// run ends, and the error the run ends with says what the rollback did.
template <typename T>
class TJournaledAction final : public T {
 public:
  void Execute() override {
    // Taken while the run is certainly on: a cancel detaches the thread from the installer object
    // (which keeps it alive until this action returns).
    TInstallerThread* thread = Installer->Thread();
    const bool last = thread && thread->Actions().Count() > 0 &&
                      &thread->Actions().Items(thread->Actions().Count() - 1) == this;
    try {
      T::Execute();
    } catch (const dlx::EDLXException& e) {
      const dlx::String report = RunJournal().Rollback();
      if (report.empty()) throw;
      throw EInstallerGeneralError(e.Message() + u"\r\n" + report);
    } catch (const std::exception& e) {
      const dlx::String report = RunJournal().Rollback();
      throw EInstallerGeneralError(dlx::FromUtf8(e.what()) + (report.empty() ? u"" : u"\r\n" + report));
    }
    // Cancelled: this action stopped early, or a request came while it ran and no further action
    // will run. A request that comes as the last action finishes leaves the run complete.
    const bool cancelRequested = this->CancelRequested() || (thread && thread->Terminated());
    if (this->Stopped() || (cancelRequested && !last)) {
      const dlx::String report = RunJournal().Rollback();
      if (!report.empty()) Installer->AddError(report);
    }
  }
};

template <typename T>
std::unique_ptr<TInstallerAction> CreateJournaledAction() {
  return std::make_unique<TJournaledAction<T>>();
}
