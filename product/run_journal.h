// Actions that take part in the run's journal (core/run_journal.h).
#pragma once

#include <memory>

#include "core/action.h"
#include "core/errors.h"
#include "core/installer.h"
#include "core/installer_thread.h"
#include "core/run_journal.h"
#include "lib/dlx_string.h"
#include "lib/string_list.h"

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
