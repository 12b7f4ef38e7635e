// Clears the destination for the new files: backs up the previous installation and its users'
// data folders into a verified ZIP archive, keeps the three newest archives, runs the update
// tasks and deletes what is replaced or obsolete, all of it in one step at the end. Records in
// the run's journal how to bring the previous installation back.
#pragma once

#include <memory>
#include <unordered_set>
#include <vector>

#include "core/action.h"
#include "lib/string_list.h"
#include "product/prepare_rollback.h"
#include "product/profiles.h"
#include "product/update_tasks.h"

class TInstallerActionPrepare : public TInstallerAction {
 public:
  TInstallerActionPrepare();
  ~TInstallerActionPrepare() override;

  void Execute() override;
  void BuildSummary(TInstallerSummaryBuilder& builder) override;
  // It waits for the product package itself, after the backup (see Execute).
  bool RunsBeforeThePackageIsChecked() const override { return true; }

 private:
  void ReportPosition();
  void Backup(dlx::TDLXStringList& deleteList);
  void DeleteListed(dlx::TDLXStringList& deleteList);

  TInstallerProfileInfoList profiles_;
  int progressPosition_ = 0;
  std::vector<std::unique_ptr<TInstallerUpdateTask>> tasks_;
  int progressTotal_ = 0;
  std::shared_ptr<TPrepareRollback> rollback_;
  std::unordered_set<dlx::String> prunedArchives_;
  dlx::String writtenArchive_;
};
