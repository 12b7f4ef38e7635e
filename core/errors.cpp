#include "core/errors.h"

dlx::String FormatText(dlx::StringView format, std::initializer_list<dlx::StringView> args) {
  dlx::String result;
  result.reserve(format.size() + 32);
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    if (c == u'%' && i + 1 < format.size()) {
      const char16_t directive = format[i + 1];
      if (directive == u'%') {
        result.push_back(u'%');
        ++i;
        continue;
      }
      if (directive == u's' || directive == u'd') {
        if (next != args.end()) result += *next++;
        ++i;
        continue;
      }
    }
    result.push_back(c);
  }
  return result;
}
