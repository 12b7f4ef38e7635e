#include "core/script/uninstall_log.h"

#include <algorithm>
#include <utility>

using dlx::String;

std::vector<String> UninstallLogEntries(dlx::TDLXIniFile& log, dlx::StringView section) {
  const int count = log.ReadInteger(section, u"Count", 0);
  std::vector<std::pair<int, String>> numbered;
  if (dlx::TDLXIniFileSection* lines = log.FindSection(section)) {
    numbered.reserve(static_cast<size_t>(lines->Count()));
    for (int i = 0; i < lines->Count(); ++i) {
      const String key = lines->Names(i);
      int64_t number = 0;
      if (dlx::TryStrToInt(key, number) && number >= 0 && number < count && dlx::IntToStr(number) == key)
        numbered.emplace_back(static_cast<int>(number), lines->ValueFromIndex(i));
    }
  }
  std::stable_sort(numbered.begin(), numbered.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<String> entries;
  entries.reserve(numbered.size());
  for (size_t i = 0; i < numbered.size(); ++i)
    if (i == 0 || numbered[i].first != numbered[i - 1].first)
      entries.push_back(std::move(numbered[i].second));
  return entries;
}
