#include "lib/dlx_string.h"

#include <limits>

namespace dlx {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendCodePoint(String& out, char32_t cp) {
  if (cp >= 0x10000) {
    cp -= 0x10000;
    out.push_back(static_cast<Char>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<Char>(0xDC00 + (cp & 0x3FF)));
  } else {
    out.push_back(static_cast<Char>(cp));
  }
}

// Decodes one UTF-8 sequence at text[i]; returns false for a malformed one (i then steps one byte).
bool DecodeOne(std::string_view text, size_t& i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(text[i]);
  if (b0 < 0x80) {
    cp = b0;
    ++i;
    return true;
  }
  size_t length;
  char32_t minimum;
  if ((b0 & 0xE0) == 0xC0) {
    length = 2, cp = b0 & 0x1F, minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3, cp = b0 & 0x0F, minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4, cp = b0 & 0x07, minimum = 0x10000;
  } else {
    ++i;
    return false;
  }
  if (i + length > text.size()) {
    ++i;
    return false;
  }
  for (size_t k = 1; k < length; ++k) {
    const auto b = static_cast<unsigned char>(text[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return false;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return false;
  }
  i += length;
  return true;
}

}  // namespace

String FromUtf8(std::string_view text) {
  String out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t cp;
    AppendCodePoint(out, DecodeOne(text, i, cp) ? cp : kReplacement);
  }
  return out;
}

bool TryDecodeUtf8(std::string_view text, String& out) {
  out.clear();
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t cp;
    if (!DecodeOne(text, i, cp)) return false;
    AppendCodePoint(out, cp);
  }
  return true;
}

std::string ToUtf8(StringView text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

String TrimControl(StringView text) {
  size_t begin = 0, end = text.size();
  while (begin < end && text[begin] < 33) ++begin;
  while (end > begin && text[end - 1] < 33) --end;
  return String(text.substr(begin, end - begin));
}

String IntToStr(int64_t value) {
  const std::string digits = std::to_string(value);
  return String(digits.begin(), digits.end());
}

bool TryStrToInt(StringView text, int64_t& value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  if (i == text.size()) return false;
  uint64_t magnitude = 0;
  const uint64_t limit = negative ? uint64_t(std::numeric_limits<int64_t>::max()) + 1
                                  : uint64_t(std::numeric_limits<int64_t>::max());
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return false;
    const uint64_t digit = text[i] - u'0';
    if (magnitude > (limit - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

Char AsciiUpper(Char c) {
  return (c >= u'a' && c <= u'z') ? Char(c - 32) : c;
}

bool SameTextAscii(StringView a, StringView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

}  // namespace dlx
