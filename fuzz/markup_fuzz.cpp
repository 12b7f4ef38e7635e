// Fuzz target for the formatted label's bracket markup: any UTF-8 caption parses, and the runs
// keep their promises (none empty, neighbours differ in style, the text is no longer than the
// caption).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lib/markup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  const dlx::String caption = dlx::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::vector<dlx::TDLXMarkupRun> runs = dlx::ParseMarkup(caption);
  size_t length = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    if (runs[i].Text.empty()) std::abort();
    if (i > 0 && runs[i].Style == runs[i - 1].Style) std::abort();
    length += runs[i].Text.size();
  }
  if (length > caption.size()) std::abort();
  return 0;
}
