// The path-string helpers on arbitrary text: validated names hold no invalid character and are
// stable under a second validation; splitting a path and changing an extension to itself give the
// input back; the long-path rewrite only ever adds a prefix.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "lib/file_system.h"

using namespace dlx;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr StringView kInvalid = u"\\<>*:?|/\"";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t control = data[0];
  const String text = FromUtf8(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  const bool twoParts = control & 1;

  const String name = ValidateFileName(text, (control & 2) ? u'_' : 0);
  for (const Char c : name) Check(kInvalid.find(c) == StringView::npos);
  Check(name.size() <= 255);
  Check(name.empty() || name.front() != u' ');
  Check(name.size() <= 1 || (name.back() != u' ' && name.back() != u'.'));
  Check(ValidateFileName(name, u'_') == name);

  const String path = ValidateFilePath(text);
  Check(ValidateFilePath(path) == path);

  Check(ExtractFilePath(text) + ExtractFileName(text) == text);
  Check(ChangeFileExt(text, ExtractFileExt(text, twoParts), twoParts) == text);
  const String ext = ExtractFileExt(text, twoParts);
  Check(ext.empty() || ext.front() == u'.');
  Check(ExtractFileExt(ChangeFileExt(text, u".zz")) == u".zz");

  const String parts = ExtractLastPathParts(text, control >> 4);
  Check(text.find(parts) != String::npos);

  const String longForm = ApplyLongPathRule(text, control);
  if (text.size() < control) {
    Check(longForm == text);
  } else {
    Check(longForm.size() >= text.size());
    Check(longForm.rfind(u"\\\\?\\", 0) == 0);
  }
  Check(IncludeTrailingPathDelimiter(IncludeTrailingPathDelimiter(text)) ==
        IncludeTrailingPathDelimiter(text));
  return 0;
}
