// One run of a product's setup at a time on the machine: an installation and a removal of the same
// product (or two of either) that overlapped would replace, delete and register the same files
// and keys in an order nobody chose. The elevated process holds a named mutex in the global
// namespace, so that runs in other sessions (a management agent as SYSTEM, a user at the desktop)
// see it too, from before it changes anything until it ends.
#pragma once

#include "lib/dlx_string.h"
#include "lib/win/handles.h"

class TInstallerRunLock {
 public:
  TInstallerRunLock() = default;
  ~TInstallerRunLock() { Release(); }
  TInstallerRunLock(const TInstallerRunLock&) = delete;
  TInstallerRunLock& operator=(const TInstallerRunLock&) = delete;

  // Takes the product's lock without waiting. False when another process holds it, or when the
  // mutex exists but may not be opened (its holder is another run); a lock whose holder ended
  // without releasing it is taken over. Any other failure to create the mutex does not stop the
  // run: it is logged and true answered, with no lock held.
  bool TryAcquire(const dlx::String& productName);
  bool Held() const { return held_; }
  void Release();

  // True when another process holds the product's lock at this moment (the lock is not kept).
  static bool HeldElsewhere(const dlx::String& productName);
  // "Global\ZUVASetup.Run.<product name>", a backslash in the name made an underscore (the
  // namespace allows none after its prefix).
  static dlx::String MutexName(const dlx::String& productName);

 private:
  dlx::TScopedHandle mutex_;
  bool held_ = false;
};
