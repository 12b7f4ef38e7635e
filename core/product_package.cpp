#include "core/product_package.h"

#include <chrono>

#include "core/package/package.h"
#include "lib/log.h"
#include "lib/platform/text.h"

using dlx::String;

namespace {

// The index resource's text, or empty when the module has none.
std::string_view IndexResource(HMODULE module) {
  HRSRC info = FindResourceW(module, L"PRODUCTINDEX", MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL handle = info ? LoadResource(module, info) : nullptr;
  const auto* data = handle ? static_cast<const char*>(LockResource(handle)) : nullptr;
  return data ? std::string_view(data, SizeofResource(module, info)) : std::string_view();
}

bool ParseNumber(std::string_view text, int64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

}  // namespace

bool TProductPackage::ParseIndex(std::string_view text, std::vector<TIndexEntry>& entries) {
  entries.clear();
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const size_t first = line.find('\t');
    const size_t second = first == std::string_view::npos ? first : line.find('\t', first + 1);
    if (second == std::string_view::npos || first == 0) return false;
    TIndexEntry entry{};
    if (!dlx::TryDecodeUtf8(line.substr(0, first), entry.Name) ||
        !ParseNumber(line.substr(first + 1, second - first - 1), entry.Size) ||
        !ParseNumber(line.substr(second + 1), entry.Offset))
      return false;
    entries.push_back(std::move(entry));
  }
  return true;
}

TProductPackage::TProductPackage(std::unique_ptr<dlx::TCustomSetupPackage> package)
    : package_(std::move(package)) {}

TProductPackage::TProductPackage(HMODULE module) {
  if (!ParseIndex(IndexResource(module), index_) || index_.empty()) {
    // Without an index every question needs the files: there is nothing to gain from a thread.
    index_.clear();
    package_ = std::make_unique<dlx::TSetupPackageReader>(module, String(u"PRODUCT"));
    return;
  }
  for (size_t i = 0; i < index_.size(); ++i) byName_.emplace(dlx::UpperCaseText(index_[i].Name), i);
  joined_ = false;
  decoder_ = std::thread([this, module] {
    const auto start = std::chrono::steady_clock::now();
    try {
      package_ = std::make_unique<dlx::TSetupPackageReader>(module, String(u"PRODUCT"));
    } catch (...) {
      failure_ = std::current_exception();
    }
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
            .count();
    dlx::Log(u"Product package decoded in " + dlx::IntToStr(ms) + u" ms" +
             (failure_ ? String(u" (failed)") : String()));
  });
}

TProductPackage::~TProductPackage() {
  if (decoder_.joinable()) decoder_.join();
}

void TProductPackage::Join() {
  std::lock_guard<std::mutex> guard(lock_);
  if (joined_) return;
  decoder_.join();
  joined_ = true;
  if (failure_) return;
  // The index is the setup's word for what the package holds: a package that disagrees is not the
  // one the setup was built with.
  const dlx::TSetupPackageFileTable& table = package_->FileTable();
  bool same = table.Count() == static_cast<int32_t>(index_.size());
  for (int32_t i = 0; same && i < table.Count(); ++i) {
    const auto& item = table.Items(i);
    const TIndexEntry& entry = index_[static_cast<size_t>(i)];
    same = item.Name == entry.Name && item.Size == entry.Size && item.Offset == entry.Offset;
  }
  if (!same) {
    dlx::Log(u"The product package does not hold what its index lists");
    failure_ = std::make_exception_ptr(dlx::ESetupPackageReadError());
    package_.reset();
  }
}

dlx::TCustomSetupPackage& TProductPackage::Get() {
  Join();
  if (failure_) std::rethrow_exception(failure_);
  return *package_;
}

bool TProductPackage::Has(dlx::StringView name) {
  // The index never changes and Join checks the package against it: it answers either way.
  if (!byName_.empty()) return byName_.count(dlx::UpperCaseText(name)) != 0;
  return Get().Exists(name);
}
