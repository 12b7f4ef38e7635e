// The users' data folders of the product: one per user below the user's roaming
// application-data folder, or one inside the installation for a portable copy; and the list of
// the folders an installation has to back up and migrate.
#pragma once

#include <memory>
#include <vector>

#include "lib/dlx_string.h"
#include "product/user_accounts.h"

class TInstallerProfileInfo {
 public:
  dlx::String UserName;     // the account's name, "SingleUser" for a portable copy
  dlx::String DataPath;     // data folder for the version being installed
  dlx::String OldDataPath;  // data folder of the installed version
};

class TInstallerProfileInfoList {
 public:
  void Add(std::unique_ptr<TInstallerProfileInfo> info) { items_.push_back(std::move(info)); }
  int Count() const { return static_cast<int>(items_.size()); }
  TInstallerProfileInfo& Items(int index) const { return *items_.at(static_cast<size_t>(index)); }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TInstallerProfileInfo>> items_;
};

class TInstallerProfileHelper {
 public:
  // The data folder of an account (null: the portable copy's, inside the destination folder) for
  // a version of the product: named after the product from 4.00 on, "ZUVA3" before.
  static dlx::String GetDataPath(const TDLXUserAccountInfo* account, int version);
  // The profiles whose data folder of the installed version exists: the portable copy's one, or
  // one per user account.
  static void Populate(TInstallerProfileInfoList& list);
  // The folder (or, while it does not exist, the folder it would be made in) is no link and is
  // reached through none: the only data folders this elevated run reads, changes or deletes.
  static bool IsReachedWithoutLinks(const dlx::String& folder);
  // Every folder that may be a data folder of a copy in the destination, whatever its version:
  // the portable one and, per account, both generations'.
  static std::vector<dlx::String> AllDataPaths();
};
