#include "product/run_journal.h"

#include <atomic>

#include "core/resources.h"
#include "lib/win/thread.h"
#include "tests/core/installer_fixture.h"

using namespace testenv;
using dlx::String;

namespace {

// Records an undo step that traces itself and reports one line.
template <char Name>
class TJournalStep : public TInstallerAction {
 public:
  void Execute() override {
    TraceAdd(std::string("run ") + Name);
    RunJournal().Record(
        String(u"step ") + static_cast<char16_t>(Name),
        [](dlx::TDLXStringList& report) {
          TraceAdd(std::string("undo ") + Name);
          report.Add(String(1, static_cast<char16_t>(Name)) + u" undone");
        },
        [] { TraceAdd(std::string("commit ") + Name); });
  }
};

class TFailing : public TInstallerAction {
 public:
  void Execute() override { throw EInstallerInstallError(u"Disk is full"); }
};

inline HANDLE gStarted = nullptr;
// Runs until the main thread cancels it.
class TCancellable : public TInstallerAction {
 public:
  void Execute() override {
    SetEvent(gStarted);
    while (!cancelled_.load()) Sleep(1);
  }
  void Cancel() override { cancelled_.store(true); }

 private:
  std::atomic<bool> cancelled_{false};
};

// The cancel request arrives as the last action finishes: the run is complete.
class TCancelledAtTheEnd : public TInstallerAction {
 public:
  void Execute() override { Installer->Thread()->Terminate(); }
};

class JournalTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    RunJournal().Reset();
  }
};

// One table of runs: what was undone, and what the error list says.
TEST_F(JournalTest, FailedOrCancelledRunsAreUndoneNewestFirstCompletedOnesNot) {
  struct Case {
    const char* name;
    std::vector<TInstallerActionClass> actions;
    bool cancel;
    std::vector<std::string> trace;
    String errors;
  };
  const std::vector<Case> cases = {
      {"completed",
       {&CreateJournaledAction<TJournalStep<'A'>>, &CreateJournaledAction<TJournalStep<'B'>>},
       false,
       {"run A", "run B", "commit A", "commit B"},
       u""},
      {"cancel request between two actions",
       {&CreateJournaledAction<TJournalStep<'A'>>, &CreateAction<TCancelledAtTheEnd>,
        &CreateJournaledAction<TJournalStep<'C'>>},
       false,
       {"run A", "undo A"},
       u"A undone\r\nInstallation was cancelled"},
      {"failed",
       {&CreateJournaledAction<TJournalStep<'A'>>, &CreateJournaledAction<TJournalStep<'B'>>,
        &CreateJournaledAction<TFailing>, &CreateJournaledAction<TJournalStep<'C'>>},
       false,
       {"run A", "run B", "undo B", "undo A"},
       u"Disk is full\r\nB undone\r\nA undone"},
      {"cancelled while an action runs",
       {&CreateJournaledAction<TJournalStep<'A'>>, &CreateJournaledAction<TCancellable>,
        &CreateJournaledAction<TJournalStep<'C'>>},
       true,
       {"run A", "undo A"},
       u"A undone\r\nInstallation was cancelled"},
      {"cancel request as the last action ends",
       {&CreateJournaledAction<TJournalStep<'A'>>, &CreateJournaledAction<TCancelledAtTheEnd>},
       false,
       {"run A", "commit A"},
       u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngineTest::SetUp();
    RunJournal().Reset();
    Product().actions = c.actions;
    auto installer = Create(u"/AUTO=D:\\Apps");
    installer->Resources().InitializeLanguages(1033);
    if (c.cancel) {
      dlx::TScopedHandle started(CreateEventW(nullptr, TRUE, FALSE, nullptr));
      gStarted = started.Get();
      installer->Start(false);
      ASSERT_TRUE(dlx::WaitWithMessages(started.Get(), 20000));
      installer->FreeThread();
      gStarted = nullptr;
    } else {
      installer->Start(true);
    }
    EXPECT_EQ(Trace(), c.trace);
    EXPECT_EQ(installer->ErrorText(), c.errors);
    // Committed or played back: nothing of the run is left for the next one.
    EXPECT_EQ(RunJournal().Count(), 0);
    installer.reset();
  }
}

}  // namespace
