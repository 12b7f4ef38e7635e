#include "core/run_journal.h"

#include "lib/log.h"

void TInstallerRunJournal::Reset() {
  steps_.clear();
}

void TInstallerRunJournal::Record(const dlx::String& description, TUndo undo, TCommit commit) {
  dlx::Log(u"Journal: " + description);
  steps_.push_back({description, std::move(undo), std::move(commit)});
}

void TInstallerRunJournal::Commit() {
  std::vector<TStep> steps = std::move(steps_);
  steps_.clear();
  for (TStep& step : steps) {
    if (!step.Commit) continue;
    try {
      step.Commit();
    } catch (const std::exception& e) {
      dlx::Log(u"Commit failed: " + step.Description + u": " + dlx::FromUtf8(e.what()));
    }
  }
}

dlx::String TInstallerRunJournal::Rollback() {
  std::vector<TStep> steps = std::move(steps_);
  steps_.clear();
  if (steps.empty()) return dlx::String();
  dlx::Log(u"Rolling back the run: " + dlx::IntToStr(static_cast<int64_t>(steps.size())) + u" step(s)");
  dlx::TDLXStringList report;
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
    dlx::Log(u"Undo: " + step->Description);
    const int before = report.Count();
    try {
      step->Undo(report);
    } catch (const std::exception& e) {
      // An undo step must not raise; if one does, the rest still runs.
      report.Add(u"Undo failed: " + step->Description + u": " + dlx::FromUtf8(e.what()));
    }
    for (int i = before; i < report.Count(); ++i) dlx::Log(u"Undo: " + report.Strings(i));
  }
  dlx::String text;
  for (int i = 0; i < report.Count(); ++i) text += (i ? u"\r\n" : u"") + report.Strings(i);
  return text;
}

TInstallerRunJournal& RunJournal() {
  static TInstallerRunJournal journal;
  return journal;
}
