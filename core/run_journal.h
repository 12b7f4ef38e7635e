// The run's journal: every step of an installation that changes the machine records, before it
// changes anything, how to undo it. A run that fails or is cancelled plays the journal backwards,
// so a failed fresh installation leaves nothing behind and a failed update leaves the previous
// installation as it was. A run that ends well commits the journal: each step's commit runs (a
// step that keeps a copy of its journal on disk removes it then) and the journal is forgotten.
#pragma once

#include <functional>
#include <vector>

#include "lib/dlx_string.h"
#include "lib/string_list.h"

class TInstallerRunJournal {
 public:
  // An undo step returns the lines it wants the user to read (the error list and the log); it
  // must not raise, and a step that cannot undo everything says so in its lines.
  using TUndo = std::function<void(dlx::TDLXStringList& report)>;
  using TCommit = std::function<void()>;

  // Forgets every step (a new run starts).
  void Reset();
  void Record(const dlx::String& description, TUndo undo, TCommit commit = {});
  int Count() const { return static_cast<int>(steps_.size()); }
  // Runs the steps newest first, each once, and forgets them; returns what they reported, one
  // line each. Every step and its outcome go to the log.
  dlx::String Rollback();
  // The run completed: runs the steps' commits, oldest first, and forgets the steps.
  void Commit();

 private:
  struct TStep {
    dlx::String Description;
    TUndo Undo;
    TCommit Commit;
  };
  std::vector<TStep> steps_;
};

// The journal of the process's run (the worker thread's alone while a run is in progress).
TInstallerRunJournal& RunJournal();
