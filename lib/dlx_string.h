// Text type of the library: UTF-16 in memory on every platform, so that binary formats, hashes and
// comparisons behave the same on Windows and on the Linux host.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dlx {

using Char = char16_t;
using String = std::u16string;
using StringView = std::u16string_view;

// UTF-8 <-> UTF-16. Invalid UTF-8 sequences become U+FFFD; unpaired surrogates become U+FFFD.
String FromUtf8(std::string_view text);
std::string ToUtf8(StringView text);

// Strict UTF-8 decoding: false on any malformed sequence (overlong forms, surrogates, truncation).
bool TryDecodeUtf8(std::string_view text, String& out);

// Removes characters with codes below 33 (blanks and control characters) from both ends.
String TrimControl(StringView text);

String IntToStr(int64_t value);
// Decimal integer with optional sign; the whole text must be a number that fits.
bool TryStrToInt(StringView text, int64_t& value);

// ASCII-only helpers, for names the system defines itself (never for user text).
Char AsciiUpper(Char c);
bool SameTextAscii(StringView a, StringView b);

#ifdef _WIN32
// Views of the library's text for the wide-character Win32 API (both are 16-bit units).
inline const wchar_t* W(const String& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
inline wchar_t* W(String& text) {
  return reinterpret_cast<wchar_t*>(text.data());
}
inline String FromW(const wchar_t* text) {
  return text ? String(reinterpret_cast<const Char*>(text)) : String();
}
inline String FromW(const wchar_t* text, size_t length) {
  return String(reinterpret_cast<const Char*>(text), length);
}
#endif

}  // namespace dlx
