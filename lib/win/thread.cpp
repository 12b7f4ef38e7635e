#include "lib/win/thread.h"

#include <deque>
#include <mutex>

#include "lib/exceptions.h"

namespace dlx {
namespace {

// Static initialization runs on the thread that starts the program.
const DWORD gMainThreadId = GetCurrentThreadId();

struct SyncRequest {
  const std::function<void()>* procedure;
  HANDLE done;  // signalled by the main thread once the procedure has run
  std::exception_ptr error;
};

struct SyncQueue {
  std::mutex lock;
  std::deque<SyncRequest*> pending;
  // Manual-reset: set while requests wait, so waits that miss one wake-up still see them.
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

SyncQueue& Queue() {
  static SyncQueue* queue = new SyncQueue;  // lives to the end of the process
  return *queue;
}

}  // namespace

DWORD MainThreadId() {
  return gMainThreadId;
}

bool IsMainThread() {
  return GetCurrentThreadId() == gMainThreadId;
}

bool CheckSynchronize() {
  if (!IsMainThread()) return false;
  SyncQueue& queue = Queue();
  bool ran = false;
  for (;;) {
    SyncRequest* request = nullptr;
    {
      std::lock_guard<std::mutex> guard(queue.lock);
      if (queue.pending.empty()) {
        ResetEvent(queue.event);
        break;
      }
      request = queue.pending.front();
      queue.pending.pop_front();
    }
    try {
      (*request->procedure)();
    } catch (...) {
      request->error = std::current_exception();
    }
    ran = true;
    SetEvent(request->done);
  }
  return ran;
}

bool WaitWithMessages(HANDLE handle, DWORD timeoutMs) {
  if (!IsMainThread()) return WaitForSingleObject(handle, timeoutMs) == WAIT_OBJECT_0;
  const HANDLE handles[2] = {handle, Queue().event};
  const ULONGLONG start = GetTickCount64();
  for (;;) {
    DWORD slice = 100;
    if (timeoutMs != INFINITE) {
      const ULONGLONG elapsed = GetTickCount64() - start;
      if (elapsed >= timeoutMs) return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
      slice = static_cast<DWORD>(std::min<ULONGLONG>(slice, timeoutMs - elapsed));
    }
    const DWORD result = MsgWaitForMultipleObjects(2, handles, FALSE, slice, QS_SENDMESSAGE);
    if (result == WAIT_OBJECT_0) return true;
    if (result == WAIT_OBJECT_0 + 1) {
      CheckSynchronize();
    } else if (result == WAIT_OBJECT_0 + 2) {
      // Peeking delivers the messages other threads sent; posted ones stay in the queue.
      MSG msg;
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    } else if (result == WAIT_FAILED) {
      return false;
    }
  }
}

TDLXThread::TDLXThread() {
  handle_.Reset(CreateThread(nullptr, 0, &TDLXThread::ThreadProc, this, CREATE_SUSPENDED, &threadId_));
  if (!handle_) {
    const DWORD code = GetLastError();
    throw EDLXOSError(code, u"Thread creation error: " + IntToStr(code));
  }
}

TDLXThread::~TDLXThread() {
  TerminateAndWait();
}

void TDLXThread::Resume() {
  if (suspended_.exchange(false)) ResumeThread(handle_.Get());
}

void TDLXThread::Terminate() {
  if (terminated_.exchange(true)) return;
  Resume();
}

void TDLXThread::WaitFor() {
  if (!handle_ || GetCurrentThreadId() == threadId_) return;
  // A thread that was never resumed would never end.
  Resume();
  WaitWithMessages(handle_.Get(), INFINITE);
}

void TDLXThread::TerminateAndWait() {
  Terminate();
  WaitFor();
}

DWORD WINAPI TDLXThread::ThreadProc(LPVOID parameter) {
  auto* self = static_cast<TDLXThread*>(parameter);
  if (!self->terminated_.load()) {
    try {
      self->Execute();
    } catch (...) {
      // An exception leaving a thread would end the process; keep it for the owner instead.
      self->fatalException_ = std::current_exception();
    }
  }
  self->finished_.store(true);
  return 0;
}

void TDLXThread::Synchronize(const std::function<void()>& procedure) {
  if (IsMainThread()) {
    procedure();
    return;
  }
  TScopedHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!done) {
    const DWORD code = GetLastError();
    throw EDLXOSError(code, u"Synchronize: cannot create an event: " + IntToStr(code));
  }
  SyncRequest request{&procedure, done.Get(), nullptr};
  SyncQueue& queue = Queue();
  {
    std::lock_guard<std::mutex> guard(queue.lock);
    queue.pending.push_back(&request);
    SetEvent(queue.event);
  }
  // Wakes a GetMessage loop of the main thread, which then calls CheckSynchronize.
  PostThreadMessageW(MainThreadId(), WM_NULL, 0, 0);
  WaitForSingleObject(done.Get(), INFINITE);
  if (request.error) std::rethrow_exception(request.error);
}

}  // namespace dlx
