#include "lib/win/thread.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

#include "lib/exceptions.h"

using namespace dlx;

namespace {

// A thread that runs a caller-given body.
class TLambdaThread : public TDLXThread {
 public:
  explicit TLambdaThread(std::function<void(TLambdaThread&)> body) : body_(std::move(body)) {}
  ~TLambdaThread() override { TerminateAndWait(); }
  void Terminate() override {
    ++terminateCalls;
    TDLXThread::Terminate();
  }
  int terminateCalls = 0;

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(TLambdaThread&)> body_;
};

// A window on the main thread that counts the messages other threads send it.
struct CountingWindow {
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_USER) {
      auto* self = reinterpret_cast<CountingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
      self->received.push_back(static_cast<int>(wp));
      self->onMainThread = self->onMainThread && IsMainThread();
      return wp * 2;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
  CountingWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"DlxThreadTestWindow";
    RegisterClassW(&wc);
    window.Reset(CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr));
    SetWindowLongPtrW(window.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  TWindowHandle window;
  std::vector<int> received;
  bool onMainThread = true;
};

}  // namespace

TEST(Thread, StartsSuspendedAndRunsOnlyAfterResume) {
  TScopedHandle started(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  TLambdaThread thread([&](TLambdaThread&) { SetEvent(started.Get()); });
  EXPECT_EQ(WaitForSingleObject(started.Get(), 200), static_cast<DWORD>(WAIT_TIMEOUT));
  thread.Resume();
  EXPECT_TRUE(WaitWithMessages(started.Get(), 10000));
  thread.WaitFor();
  EXPECT_TRUE(thread.Finished());
  EXPECT_NE(thread.ThreadId(), GetCurrentThreadId());
}

TEST(Thread, DestroyingANeverStartedThreadSkipsExecuteAndReturns) {
  bool ran = false;
  {
    TLambdaThread thread([&](TLambdaThread&) { ran = true; });
  }
  EXPECT_FALSE(ran);
}

TEST(Thread, DestructionTerminatesAndWaitsForTheBody) {
  bool sawTerminated = false;
  bool finished = false;
  TScopedHandle running(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  {
    TLambdaThread thread([&](TLambdaThread& self) {
      SetEvent(running.Get());
      while (!self.Terminated()) Sleep(1);
      sawTerminated = true;
      finished = true;
    });
    thread.Resume();
    ASSERT_TRUE(WaitWithMessages(running.Get(), 10000));
  }
  EXPECT_TRUE(sawTerminated);
  EXPECT_TRUE(finished) << "the destructor returned only after the body ended";
}

TEST(Thread, TerminateRunsTheOverrideOnceMarkedAndTheDerivedDestructorCallsIt) {
  TLambdaThread thread([](TLambdaThread& self) {
    while (!self.Terminated()) Sleep(1);
  });
  thread.Resume();
  thread.Terminate();
  EXPECT_TRUE(thread.Terminated());
  thread.WaitFor();
  EXPECT_EQ(thread.terminateCalls, 1);
}

TEST(Thread, AnEscapingExceptionIsKeptInsteadOfEndingTheProcess) {
  TLambdaThread thread([](TLambdaThread&) { throw std::runtime_error("boom"); });
  thread.Resume();
  thread.WaitFor();
  ASSERT_TRUE(thread.FatalException());
  EXPECT_THROW(std::rethrow_exception(thread.FatalException()), std::runtime_error);
}

TEST(Thread, MessagesSentByTheWorkerAreDeliveredWhileTheMainThreadWaits) {
  // Without the message-aware wait the worker would block in SendMessageW and the main thread in
  // the wait: this test would hang.
  CountingWindow target;
  std::vector<LRESULT> results;
  TLambdaThread thread([&](TLambdaThread&) {
    for (int i = 1; i <= 5; ++i) results.push_back(SendMessageW(target.window.Get(), WM_USER, i, 0));
  });
  thread.Resume();
  ASSERT_TRUE(WaitWithMessages(thread.Handle(), 20000));
  EXPECT_EQ(target.received, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(results, (std::vector<LRESULT>{2, 4, 6, 8, 10}));
  EXPECT_TRUE(target.onMainThread);
}

TEST(Thread, SynchronizeRunsOnTheMainThreadAndPassesExceptionsBack) {
  std::vector<DWORD> runners;
  bool caught = false;
  String message;
  TLambdaThread thread([&](TLambdaThread&) {
    for (int i = 0; i < 3; ++i) TDLXThread::Synchronize([&] { runners.push_back(GetCurrentThreadId()); });
    try {
      TDLXThread::Synchronize([] { throw EDLXException(u"from the main thread"); });
    } catch (const EDLXException& e) {
      caught = true;
      message = e.Message();
    }
  });
  thread.Resume();
  thread.WaitFor();
  ASSERT_EQ(runners.size(), 3u);
  for (DWORD id : runners) EXPECT_EQ(id, MainThreadId());
  EXPECT_TRUE(caught);
  EXPECT_EQ(message, u"from the main thread");
  EXPECT_FALSE(thread.FatalException());
}

TEST(Thread, SynchronizeOnTheMainThreadRunsDirectly) {
  int calls = 0;
  TDLXThread::Synchronize([&] { ++calls; });
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(IsMainThread());
  EXPECT_FALSE(CheckSynchronize()) << "nothing queued";
}

TEST(Thread, WaitWithMessagesTimesOutOnAnUnsignalledHandle) {
  TScopedHandle never(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  EXPECT_FALSE(WaitWithMessages(never.Get(), 150));
  SetEvent(never.Get());
  EXPECT_TRUE(WaitWithMessages(never.Get(), 0));
}
