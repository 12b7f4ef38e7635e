#include "product/backup_pruning.h"

#include <algorithm>
#include <optional>

#include "lib/file_system.h"
#include "lib/platform/text.h"

using dlx::String;

namespace {

constexpr dlx::StringView kPrefix = u"z Before install ";

struct TArchiveName {
  String Path;
  std::vector<uint32_t> Version;
  String Stamp;
};

// "5.05" as {5, 5}; nothing when a part is not a number.
std::optional<std::vector<uint32_t>> ParseVersion(dlx::StringView text) {
  std::vector<uint32_t> parts;
  uint64_t part = 0;
  bool digits = false;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == u'.') {
      if (!digits) return std::nullopt;
      parts.push_back(static_cast<uint32_t>(part));
      part = 0;
      digits = false;
    } else if (text[i] >= u'0' && text[i] <= u'9' && part < 100000000) {
      part = part * 10 + static_cast<uint32_t>(text[i] - u'0');
      digits = true;
    } else {
      return std::nullopt;
    }
  }
  return parts;
}

std::optional<TArchiveName> Parse(const String& path) {
  const String name = dlx::ExtractFileName(path);
  if (name.size() <= kPrefix.size() ||
      !dlx::SameText(dlx::StringView(name).substr(0, kPrefix.size()), kPrefix))
    return std::nullopt;
  const size_t open = name.find(u" [", kPrefix.size());
  const size_t close = name.rfind(u"].");
  if (open == String::npos || close == String::npos || close < open) return std::nullopt;
  auto version = ParseVersion(dlx::StringView(name).substr(kPrefix.size(), open - kPrefix.size()));
  if (!version) return std::nullopt;
  // "yyyy.MM.dd hh-mm-ss" has a fixed width: as text it sorts as the time it stands for.
  return TArchiveName{path, *version, name.substr(open + 2, close - open - 2)};
}

bool Older(const TArchiveName& a, const TArchiveName& b) {
  if (a.Version != b.Version)
    return std::lexicographical_compare(a.Version.begin(), a.Version.end(), b.Version.begin(),
                                        b.Version.end());
  return a.Stamp < b.Stamp;
}

}  // namespace

std::vector<String> ArchivesToPrune(const std::vector<String>& archives, const String& written,
                                    int keepCount) {
  std::vector<TArchiveName> others;
  bool writtenFound = false;
  for (const String& path : archives) {
    if (!written.empty() && dlx::SameText(path, written)) {
      writtenFound = true;
      continue;
    }
    if (auto parsed = Parse(path)) others.push_back(std::move(*parsed));
  }
  const int keepOthers = std::max(0, keepCount - (writtenFound ? 1 : 0));
  std::vector<String> pruned;
  if (static_cast<int>(others.size()) <= keepOthers) return pruned;
  std::stable_sort(others.begin(), others.end(), Older);
  for (size_t i = 0; i + static_cast<size_t>(keepOthers) < others.size(); ++i)
    pruned.push_back(others[i].Path);
  return pruned;
}
