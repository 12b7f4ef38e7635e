#include "core/installer_thread.h"

#include "core/installer.h"
#include "core/product_info.h"
#include "core/resources.h"
#include "core/run_journal.h"
#include "lib/exceptions.h"
#include "lib/log.h"

TInstallerThread::TInstallerThread() = default;

TInstallerThread::~TInstallerThread() {
  // The body uses the action list and the lock, which die with this object: join it first.
  TerminateAndWait();
}

void TInstallerThread::Terminate() {
  TDLXThread::Terminate();
  std::lock_guard<std::mutex> guard(lock_);
  if (currentAction_) currentAction_->RequestCancel();
}

void TInstallerThread::PopulateActions() {
  Installer->ProductInfo().EnumActions([this](TInstallerActionClass actionClass) {
    std::unique_ptr<TInstallerAction> action = actionClass();
    action->OnProgress = [this](TInstallerAction&) { ReportProgress(); };
    actions_.Add(std::move(action));
  });
}

void TInstallerThread::SetCurrentAction(TInstallerAction* action) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    currentAction_ = action;
  }
  // Outside the lock: the main thread takes it in Terminate while this thread waits for it.
  if (action) ReportProgress();
}

void TInstallerThread::ReportProgress() {
  int current = 0;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (currentAction_) current = currentAction_->Progress();
  }
  const intptr_t data = (static_cast<intptr_t>(actions_.GetOverallProgress()) << 16) | (current & 0xFFFF);
  Installer->PostEvent(ieProgress, data);
  Installer->PostEvent(ieRepaint, 0);
}

void TInstallerThread::Execute() {
  // Every failure ends the run and becomes a line of the error list; whatever happens, the last
  // event is ieFinished, which the user interface waits for.
  // A run is cancelled only when a cancel request kept an action from running or from finishing:
  // a request that comes after the last action finished changes nothing.
  bool completed = false;
  try {
    PopulateActions();
    dlx::Log(u"Actions: " + dlx::IntToStr(actions_.Count()));
    int finished = 0;
    for (int i = 0; i < actions_.Count() && !Terminated(); ++i) {
      TInstallerAction& action = actions_.Items(i);
      if (!action.RunsBeforeThePackageIsChecked()) Installer->Resources().WaitForProduct();
      dlx::Log(u"Action " + dlx::IntToStr(i + 1) + u" of " + dlx::IntToStr(actions_.Count()) + u" starts");
      SetCurrentAction(&action);
      action.Run();
      // No cancel request may reach an action that has ended.
      SetCurrentAction(nullptr);
      if (action.Stopped()) {
        dlx::Log(u"Action " + dlx::IntToStr(i + 1) + u" stopped early on the cancel request");
        break;
      }
      ++finished;
    }
    completed = finished == actions_.Count();
  } catch (const dlx::EDLXException& e) {
    Installer->AddError(e.Message());
  } catch (const std::exception& e) {
    Installer->AddError(dlx::FromUtf8(e.what()));
  } catch (...) {
    Installer->AddError(u"Unexpected error");
  }
  {
    std::lock_guard<std::mutex> guard(lock_);
    currentAction_ = nullptr;
  }
  // An action that fails or stops plays the journal back itself; this catches the run that ended
  // between two actions (a cancel confirmed just as one finished), whichever action was last.
  if (completed) {
    RunJournal().Commit();
  } else {
    const dlx::String report = RunJournal().Rollback();
    if (!report.empty()) Installer->AddError(report);
  }
  Installer->PostEvent(ieFinished, Terminated() && !completed ? 1 : 0);
}
