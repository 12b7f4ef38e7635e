// The library's thread class and the main thread's message-aware wait.
//
// Two threads talk to each other in this program by SendMessageW (the worker waits until the
// main thread has handled the message) and by Synchronize (the worker waits until the main
// thread has run a procedure). Both need the main thread to keep delivering while it waits for the
// worker, or both threads stop: every wait of the main thread goes through WaitWithMessages.
#pragma once

#include <windows.h>

#include <atomic>
#include <exception>
#include <functional>

#include "lib/win/handles.h"

namespace dlx {

// The id of the program's main thread: the thread that initialized the library (static
// initialization runs there). Windows and every dialog belong to it.
DWORD MainThreadId();
bool IsMainThread();

// Waits until the handle is signalled or the time (ms, INFINITE for none) runs out; true when
// signalled. On the main thread the wait runs pending Synchronize requests and lets messages sent
// by other threads through meanwhile (without removing posted messages from the queue); on any
// other thread it is a plain WaitForSingleObject.
bool WaitWithMessages(HANDLE handle, DWORD timeoutMs = INFINITE);

// Runs the procedures other threads have queued with TDLXThread::Synchronize. Called by the
// message-aware wait; a message loop of the main thread calls it after each message (Synchronize
// posts WM_NULL to the main thread to wake such a loop). Returns whether anything ran.
bool CheckSynchronize();

class TDLXThread {
 public:
  // The thread always starts suspended; Resume lets Execute run.
  TDLXThread();
  // Terminates and joins the thread if the derived destructor has not already done so. A derived
  // class whose Execute uses its own members must call TerminateAndWait first in its destructor,
  // since by the time this base destructor runs those members are gone.
  virtual ~TDLXThread();
  TDLXThread(const TDLXThread&) = delete;
  TDLXThread& operator=(const TDLXThread&) = delete;

  void Resume();
  // Marks the thread terminated (resuming it first if it still waits to start, so that it can
  // end). Execute is expected to poll Terminated. A thread terminated before it ever ran skips
  // Execute altogether.
  virtual void Terminate();
  bool Terminated() const noexcept { return terminated_.load(); }
  bool Finished() const noexcept { return finished_.load(); }

  // Waits for the end of the thread (message-aware on the main thread).
  void WaitFor();
  // Terminate, then WaitFor; safe to call more than once.
  void TerminateAndWait();

  HANDLE Handle() const noexcept { return handle_.Get(); }
  DWORD ThreadId() const noexcept { return threadId_; }
  // An exception that escaped Execute, kept instead of ending the process.
  std::exception_ptr FatalException() const { return fatalException_; }

  // Runs the procedure on the main thread while the calling thread waits; an exception it raises
  // is passed back to the caller. Called on the main thread, it simply runs the procedure.
  static void Synchronize(const std::function<void()>& procedure);

 protected:
  virtual void Execute() = 0;

 private:
  static DWORD WINAPI ThreadProc(LPVOID parameter);

  TScopedHandle handle_;
  DWORD threadId_ = 0;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> suspended_{true};
  std::exception_ptr fatalException_;
};

}  // namespace dlx
