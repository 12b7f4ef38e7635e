#include "core/pending_restart.h"

#include <mutex>
#include <vector>

#include "lib/log.h"
#include "lib/platform/text.h"

using dlx::String;

namespace {

// The actions record on the worker thread; the entry reads on the main thread once the worker has
// ended.
struct TRestartState {
  std::mutex lock;
  bool needed = false;
  std::vector<String> excused;
};

TRestartState& State() {
  static TRestartState state;
  return state;
}

}  // namespace

void NoteRestartNeeded(const String& path) {
  TRestartState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  for (const String& excused : state.excused)
    if (dlx::SameText(excused, path)) {
      dlx::Log(u"\"" + path + u"\" is in use only until this run ends: no restart is needed for it");
      return;
    }
  if (!state.needed) dlx::Log(u"A restart is needed to finish the run: \"" + path + u"\" is in use");
  state.needed = true;
}

bool RestartNeeded() {
  TRestartState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  return state.needed;
}

void ExcuseInUse(const String& path) {
  TRestartState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  state.excused.push_back(path);
}

void ClearRestartNeeded() {
  TRestartState& state = State();
  std::lock_guard<std::mutex> guard(state.lock);
  state.needed = false;
  state.excused.clear();
}
