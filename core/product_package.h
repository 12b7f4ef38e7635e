// The product package, decoded while the setup starts up. Decoding a large product takes seconds,
// and nothing before the first window needs the product's files: only which entries it holds,
// which the setup knows from the index beside it (PRODUCTINDEX, the package's listing written when
// the setup was built). The decode therefore runs on a thread of its own from the start, and a
// caller that needs the files waits for it; the run itself waits before its first change, so a
// damaged package still stops the run before anything was touched.
#pragma once

#include <windows.h>

#include <exception>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "lib/dlx_string.h"

namespace dlx {
class TCustomSetupPackage;
}

class TProductPackage {
 public:
  // A package that is there already (given by the caller, or the uninstaller's data file).
  explicit TProductPackage(std::unique_ptr<dlx::TCustomSetupPackage> package);
  // The module's PRODUCT resource: decoded on a thread when the module carries its index,
  // otherwise here and now.
  explicit TProductPackage(HMODULE module);
  ~TProductPackage();
  TProductPackage(const TProductPackage&) = delete;
  TProductPackage& operator=(const TProductPackage&) = delete;

  // Whether the package holds the entry (any case); never waits when the module has the index.
  bool Has(dlx::StringView name);
  // The decoded package; waits for the decode, and raises its error (every time) when it failed or
  // when the package does not hold what its index says.
  dlx::TCustomSetupPackage& Get();

  struct TIndexEntry {
    dlx::String Name;
    int64_t Size;
    int64_t Offset;
  };
  // The listing's lines ("name<TAB>size<TAB>offset", UTF-8); false for anything else.
  static bool ParseIndex(std::string_view text, std::vector<TIndexEntry>& entries);

 private:
  void Join();

  std::mutex lock_;
  std::thread decoder_;
  std::unique_ptr<dlx::TCustomSetupPackage> package_;
  std::exception_ptr failure_;
  bool joined_ = true;
  std::vector<TIndexEntry> index_;
  std::unordered_map<dlx::String, size_t> byName_;  // upper-case name -> index_ position
};
