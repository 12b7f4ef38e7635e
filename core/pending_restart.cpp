#include "core/pending_restart.h"

#include <atomic>

#include "lib/log.h"

namespace {

// The actions record it on the worker thread; the entry reads it on the main thread after the
// worker has ended.
std::atomic<bool> gRestartNeeded{false};

}  // namespace

void NoteRestartNeeded(const dlx::String& reason) {
  if (!gRestartNeeded.exchange(true)) dlx::Log(u"A restart is needed to finish the run: " + reason);
}

bool RestartNeeded() {
  return gRestartNeeded.load();
}

void ClearRestartNeeded() {
  gRestartNeeded.store(false);
}
