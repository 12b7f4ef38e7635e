// The machine's local user accounts with each account's profile folder and roaming
// application-data folder, found through the registry, also for users who are not logged on.
#pragma once

#include <memory>
#include <vector>

#include "lib/dlx_string.h"

class TDLXUserAccountInfo {
 public:
  // Both folders get a trailing backslash. The first argument is a text this system leaves empty.
  TDLXUserAccountInfo(const dlx::String& sid, const dlx::String& userName, const dlx::String& appDataPath,
                      const dlx::String& profilePath);
  // The same profile folder, compared exactly.
  bool Equals(const TDLXUserAccountInfo& other) const { return ProfilePath == other.ProfilePath; }

  dlx::String Sid;
  dlx::String UserName;
  dlx::String AppDataPath;
  dlx::String ProfilePath;
};

// An owning list in which each profile folder appears once.
class TDLXUserAccountInfoList {
 public:
  // Appends the info unless an equal one is listed (the new one is then dropped); true when
  // appended.
  bool AddUnique(std::unique_ptr<TDLXUserAccountInfo> info);
  int Count() const { return static_cast<int>(items_.size()); }
  TDLXUserAccountInfo& Items(int index) const { return *items_.at(static_cast<size_t>(index)); }

 private:
  std::vector<std::unique_ptr<TDLXUserAccountInfo>> items_;
};

class TDLXUserAccounts {
 public:
  // The user the installer runs as first, then every account of the registry's profile list
  // whose profile folder exists and whose application-data folder can be found (from the user's
  // own registry hive, or from the default user's when that hive is not loaded). Raises the
  // system's error only when a profile path cannot be expanded.
  static void Populate(TDLXUserAccountInfoList& list);
  static std::unique_ptr<TDLXUserAccountInfoList> Populate();
};
