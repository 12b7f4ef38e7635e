#include "core/installer_thread.h"

#include <atomic>
#include <stdexcept>

#include "core/errors.h"
#include "core/installer.h"
#include "core/resources.h"
#include "lib/win/thread.h"
#include "tests/core/installer_fixture.h"

using namespace testenv;
using dlx::String;

namespace {

// Records every event it hears, checking that it runs on the main thread.
class TRecorder : public IInstallerNotify {
 public:
  explicit TRecorder(std::string name = "") : name_(std::move(name)) {}
  struct Event {
    TInstallerEvent event;
    intptr_t data;
    String text;
  };
  void Notify(TInstallerEvent event, intptr_t data) override {
    if (!dlx::IsMainThread()) offMainThread = true;
    Event e{event, data, {}};
    if (event == ieStatusText) e.text = *reinterpret_cast<const String*>(data);
    events.push_back(e);
    if (!name_.empty()) TraceAdd("notify " + name_);
  }
  std::vector<std::pair<int, int>> Progress() const {  // (overall, current)
    std::vector<std::pair<int, int>> result;
    for (const auto& e : events)
      if (e.event == ieProgress)
        result.emplace_back(static_cast<int>(e.data >> 16), static_cast<int>(e.data & 0xFFFF));
    return result;
  }
  int Count(TInstallerEvent event) const {
    int n = 0;
    for (const auto& e : events) n += e.event == event;
    return n;
  }
  std::vector<Event> events;
  bool offMainThread = false;

 private:
  std::string name_;
};

template <char Name>
class TStepAction : public TInstallerAction {
 public:
  void Execute() override { TraceAdd(std::string("run ") + Name); }
  void BuildSummary(TInstallerSummaryBuilder& builder) override {
    builder.SetHeader(String(u"Step ") + static_cast<char16_t>(Name));
    builder.AddLine(u"line");
  }
};

class TFailingAction : public TInstallerAction {
 public:
  void Execute() override {
    TraceAdd("run failing");
    SetProgress(40);
    throw EInstallerInstallError(u"Disk is full");
  }
};

class TStdFailingAction : public TInstallerAction {
 public:
  void Execute() override { throw std::runtime_error("not an engine error"); }
};

// Reports progress in steps, with a repeated value that must not be sent twice.
class TSteppingAction : public TInstallerAction {
 public:
  void Execute() override {
    ReportStatus(u"Copying \u00FCber");
    SetProgress(25);
    SetProgress(25);
    SetProgress(50);
    SetProgress(250);  // clamped to 100
  }
};

// Runs until the main thread cancels it.
inline HANDLE gRunning = nullptr;
class TCancellableAction : public TInstallerAction {
 public:
  void Execute() override {
    TraceAdd("run cancellable");
    SetEvent(gRunning);
    while (!cancelled_.load()) Sleep(1);
    TraceAdd("cancellable ends");
  }
  void Cancel() override {
    TraceAdd(dlx::IsMainThread() ? "cancel on main thread" : "cancel elsewhere");
    cancelled_.store(true);
  }

 private:
  std::atomic<bool> cancelled_{false};
};

// Finishes its work and only then sees a cancel request arrive, as when the user cancels while
// the last action is completing.
class TCancelledAtTheEndAction : public TInstallerAction {
 public:
  void Execute() override {
    TraceAdd("run last");
    Installer->Thread()->Terminate();
    TraceAdd(CancelRequested() ? "request reached the running action" : "request lost");
  }
};

class PipelineTest : public EngineTest {};

}  // namespace

TEST_F(PipelineTest, ThreeActionsReportOverallProgressAtTheBoundaries) {
  Product().actions = {&CreateAction<TStepAction<'A'>>, &CreateAction<TStepAction<'B'>>,
                       &CreateAction<TStepAction<'C'>>};
  auto installer = Create(u"/AUTO=D:\\Apps");
  TRecorder recorder;
  installer->AddListener(&recorder);
  installer->Start(true);
  installer->RemoveListener(&recorder);

  EXPECT_EQ(Trace(), (std::vector<std::string>{"run A", "run B", "run C"}));
  EXPECT_EQ(recorder.Progress(),
            (std::vector<std::pair<int, int>>{{0, 0}, {33, 100}, {33, 0}, {66, 100}, {66, 0}, {100, 100}}));
  // Every progress event is followed by a repaint; the run ends with ieFinished (not cancelled).
  ASSERT_EQ(recorder.events.size(), 13u);
  for (size_t i = 0; i + 1 < recorder.events.size(); i += 2) {
    EXPECT_EQ(recorder.events[i].event, ieProgress);
    EXPECT_EQ(recorder.events[i + 1].event, ieRepaint);
  }
  EXPECT_EQ(recorder.events.back().event, ieFinished);
  EXPECT_EQ(recorder.events.back().data, 0);
  EXPECT_FALSE(recorder.offMainThread);
  EXPECT_EQ(installer->State(), isFinished);
  EXPECT_FALSE(installer->HasErrors());
  EXPECT_EQ(installer->ExitCode(), InstallerExitSuccess);
}

TEST_F(PipelineTest, AnExceptionInTheSecondActionEndsTheRunAndIsCollected) {
  Product().actions = {&CreateAction<TStepAction<'A'>>, &CreateAction<TFailingAction>,
                       &CreateAction<TStepAction<'C'>>};
  auto installer = Create(u"/AUTO=D:\\Apps");
  TRecorder recorder;
  installer->AddListener(&recorder);
  installer->Start(true);
  installer->RemoveListener(&recorder);

  EXPECT_EQ(Trace(), (std::vector<std::string>{"run A", "run failing"}));
  EXPECT_EQ(installer->ErrorText(), u"Disk is full");
  ASSERT_FALSE(recorder.events.empty());
  EXPECT_EQ(recorder.events.back().event, ieFinished);
  EXPECT_EQ(recorder.events.back().data, 0);
  EXPECT_EQ(recorder.Count(ieFinished), 1);
  EXPECT_EQ(recorder.Progress().back(), std::make_pair(46, 40)) << "(100 + 40 + 0) / 3 at the failure";
  EXPECT_EQ(installer->State(), isFinished);
  EXPECT_FALSE(installer->Cancelled());
  EXPECT_EQ(installer->ExitCode(), InstallerExitFailed);
  EXPECT_TRUE(installer->PostInstallCommands().empty());
}

TEST_F(PipelineTest, AnyOtherExceptionAlsoEndsTheRunWithFinished) {
  Product().actions = {&CreateAction<TStdFailingAction>, &CreateAction<TStepAction<'B'>>};
  auto installer = Create(u"/AUTO=D:\\Apps");
  TRecorder recorder;
  installer->AddListener(&recorder);
  installer->Start(true);
  installer->RemoveListener(&recorder);
  EXPECT_TRUE(Trace().empty());
  EXPECT_EQ(installer->ErrorText(), u"not an engine error");
  EXPECT_EQ(recorder.Count(ieFinished), 1);
  EXPECT_EQ(installer->State(), isFinished);
}

TEST_F(PipelineTest, CancellingDuringAnActionLetsItFinishAndRunsNoFurtherAction) {
  Product().actions = {&CreateAction<TCancellableAction>, &CreateAction<TStepAction<'B'>>};
  auto installer = Create(u"/AUTO=D:\\Apps");
  installer->Resources().InitializeLanguages(1033);
  TRecorder recorder;
  installer->AddListener(&recorder);
  dlx::TScopedHandle running(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  gRunning = running.Get();
  installer->Start(false);
  EXPECT_EQ(installer->State(), isRunning);
  ASSERT_TRUE(dlx::WaitWithMessages(running.Get(), 20000));
  installer->FreeThread();  // what the form does once the user confirms
  installer->RemoveListener(&recorder);
  gRunning = nullptr;

  EXPECT_EQ(installer->Thread(), nullptr);
  EXPECT_EQ(Trace(),
            (std::vector<std::string>{"run cancellable", "cancel on main thread", "cancellable ends"}));
  ASSERT_EQ(recorder.Count(ieFinished), 1);
  EXPECT_EQ(recorder.events.back().event, ieFinished);
  EXPECT_EQ(recorder.events.back().data, 1);
  EXPECT_EQ(installer->ErrorText(), u"Installation was cancelled");
  EXPECT_TRUE(installer->HasErrors());
  EXPECT_TRUE(installer->Cancelled());
  EXPECT_EQ(installer->ExitCode(), InstallerExitCancelled);
  EXPECT_EQ(installer->State(), isFinished);
  EXPECT_TRUE(installer->PostInstallCommands().empty());
}

TEST_F(PipelineTest, AnEmptyRunFinishesAtOnceWithoutProgress) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  TRecorder recorder;
  installer->AddListener(&recorder);
  installer->Start(true);
  installer->RemoveListener(&recorder);
  ASSERT_EQ(recorder.events.size(), 1u);
  EXPECT_EQ(recorder.events[0].event, ieFinished);
  EXPECT_EQ(recorder.events[0].data, 0);
}

TEST_F(PipelineTest, StatusTextsAndUnchangedProgressAreReportedOnce) {
  Product().actions = {&CreateAction<TSteppingAction>};
  auto installer = Create(u"/AUTO=D:\\Apps");
  TRecorder recorder;
  installer->AddListener(&recorder);
  installer->Start(true);
  installer->RemoveListener(&recorder);
  ASSERT_EQ(recorder.Count(ieStatusText), 1);
  for (const auto& e : recorder.events) {
    if (e.event == ieStatusText) {
      EXPECT_EQ(e.text, u"Copying \u00FCber");
    }
  }
  EXPECT_EQ(recorder.Progress(), (std::vector<std::pair<int, int>>{{0, 0}, {25, 25}, {50, 50}, {100, 100}}))
      << "the repeated 25 is not sent, 250 is clamped and Run's final 100 is no change";
}

TEST_F(PipelineTest, ASecondStartIsIgnored) {
  Product().actions = {&CreateAction<TStepAction<'A'>>};
  auto installer = Create(u"/AUTO=D:\\Apps");
  installer->Start(true);
  installer->Start(true);
  EXPECT_EQ(Trace(), std::vector<std::string>{"run A"});
}

TEST_F(PipelineTest, ListenersHearWorkerEventsOnTheMainThreadNewestFirst) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  TRecorder first("first"), second("second"), third("third");
  installer->AddListener(&first);
  installer->AddListener(&second);
  installer->AddListener(&third);
  std::vector<LRESULT> results;
  class TPoster : public dlx::TDLXThread {
   public:
    ~TPoster() override { TerminateAndWait(); }
    void Execute() override {
      Installer->PostEvent(iePageStateChanged, 0);
      Installer->PostText(ieStatusText, u"Hello \u0416");
      Installer->PostText(ieStatusText, u"");
    }
  } poster;
  poster.Resume();
  poster.WaitFor();
  installer->RemoveListener(&second);
  installer->PostEvent(ieRepaint, 0);  // from the main thread too
  installer->RemoveListener(&first);
  installer->RemoveListener(&third);

  EXPECT_EQ(Trace(),
            (std::vector<std::string>{"notify third", "notify second", "notify first", "notify third",
                                      "notify second", "notify first", "notify third", "notify second",
                                      "notify first", "notify third", "notify first"}));
  for (auto* r : {&first, &second, &third}) EXPECT_FALSE(r->offMainThread);
  ASSERT_EQ(first.events.size(), 4u);
  EXPECT_EQ(first.events[1].text, u"Hello \u0416");
  EXPECT_EQ(first.events[2].text, u"");
  EXPECT_EQ(installer->State(), isIdle) << "only ieFinished changes the state";
}

TEST_F(PipelineTest, ForeignCopyDataMessagesAreIgnored) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  TRecorder recorder;
  installer->AddListener(&recorder);
  const String text = u"spoof";
  COPYDATASTRUCT copy{static_cast<ULONG_PTR>(ieStatusText), static_cast<DWORD>(text.size() * 2),
                      const_cast<char16_t*>(text.data())};
  // wParam must name the installer's own window, and lParam must be present.
  SendMessageW(installer->Window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&copy));
  SendMessageW(installer->Window(), WM_COPYDATA, reinterpret_cast<WPARAM>(installer->Window()), 0);
  EXPECT_TRUE(recorder.events.empty());
  // An odd byte count drops the half character.
  copy.cbData = 5;
  SendMessageW(installer->Window(), WM_COPYDATA, reinterpret_cast<WPARAM>(installer->Window()),
               reinterpret_cast<LPARAM>(&copy));
  installer->RemoveListener(&recorder);
  ASSERT_EQ(recorder.events.size(), 1u);
  EXPECT_EQ(recorder.events[0].text, u"sp");
}

TEST_F(PipelineTest, AListenerRemovingAnotherDuringDispatchIsSafe) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  TRecorder victim("victim");
  struct TRemover : IInstallerNotify {
    IInstallerNotify* victim = nullptr;
    void Notify(TInstallerEvent, intptr_t) override {
      TraceAdd("remover");
      Installer->RemoveListener(victim);
      Installer->RemoveListener(this);
    }
  } remover;
  remover.victim = &victim;
  installer->AddListener(&victim);
  installer->AddListener(&remover);
  installer->PostEvent(ieRepaint, 0);
  installer->PostEvent(ieRepaint, 0);
  EXPECT_EQ(Trace(), std::vector<std::string>{"remover"}) << "a removed listener is never called";
}

TEST_F(PipelineTest, AFailingListenerBecomesAnErrorInsteadOfUnwindingThroughTheWindow) {
  auto installer = Create(u"/AUTO=D:\\Apps");
  struct TThrower : IInstallerNotify {
    void Notify(TInstallerEvent, intptr_t) override { throw EInstallerGeneralError(u"listener broke"); }
  } thrower;
  installer->AddListener(&thrower);
  installer->PostEvent(ieRepaint, 0);
  installer->RemoveListener(&thrower);
  EXPECT_EQ(installer->ErrorText(), u"listener broke");
}

TEST(ActionList, OverallProgressIsTheTruncatedMean) {
  TInstallerActionList list;
  EXPECT_EQ(list.GetOverallProgress(), 0);
  list.Add(CreateAction<TStepAction<'A'>>());
  list.Add(CreateAction<TStepAction<'B'>>());
  list.Add(CreateAction<TStepAction<'C'>>());
  list.Items(0).SetProgress(100);
  list.Items(1).SetProgress(99);
  EXPECT_EQ(list.GetOverallProgress(), 66);
  int reports = 0;
  list.Items(2).OnProgress = [&](TInstallerAction& a) {
    ++reports;
    EXPECT_EQ(&a, &list.Items(2));
  };
  list.Items(2).SetProgress(-5);  // clamped to 0: no change
  list.Items(2).SetProgress(1);
  EXPECT_EQ(reports, 1);
  EXPECT_EQ(list.GetOverallProgress(), 66);
}

TEST_F(PipelineTest, SummaryAsksEveryActionWithoutRunningIt) {
  Product().actions = {&CreateAction<TStepAction<'A'>>, &CreateAction<TFailingAction>,
                       &CreateAction<TStepAction<'C'>>};
  auto installer = Create(u"/AUTO=D:\\Apps");
  EXPECT_EQ(BuildInstallerSummary(), u"Step A\r\n    line\r\n\r\nStep C\r\n    line\r\n");
  EXPECT_TRUE(Trace().empty());
}

TEST_F(PipelineTest, ARunWhoseActionsAllCompletedIsNeverCancelled) {
  Product().actions = {&CreateAction<TStepAction<'A'>>, &CreateAction<TCancelledAtTheEndAction>};
  auto installer = Create(u"/AUTO=D:\\Apps");
  installer->Resources().InitializeLanguages(1033);
  TRecorder recorder;
  installer->AddListener(&recorder);
  installer->Start(true);
  installer->RemoveListener(&recorder);
  EXPECT_EQ(Trace(), (std::vector<std::string>{"run A", "run last", "request reached the running action"}));
  ASSERT_EQ(recorder.Count(ieFinished), 1);
  EXPECT_EQ(recorder.events.back().data, 0);
  EXPECT_FALSE(installer->Cancelled());
  EXPECT_EQ(installer->ExitCode(), InstallerExitSuccess);
}
