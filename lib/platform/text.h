// Text services of the operating system: locale-aware comparison, upper-casing and code-page
// conversion. Windows answers them with CompareStringW, LCMapStringW and MultiByteToWideChar; the
// host build uses its own case table (so the INI hash and the comparison fold case identically)
// and iconv for code pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "lib/dlx_string.h"

namespace dlx {

// Windows code-page numbers the library names itself.
constexpr uint32_t kCodePageUtf16LE = 1200;
constexpr uint32_t kCodePageUtf16BE = 1201;
constexpr uint32_t kCodePageWindows1252 = 1252;
constexpr uint32_t kCodePageUtf8 = 65001;

// Case-insensitive comparison under the user's locale: < 0, 0 or > 0.
int CompareTextIgnoreCase(StringView a, StringView b);
// Comparison under the user's locale with case counting, used to sort lines: < 0, 0 or > 0.
int CompareTextWithCase(StringView a, StringView b);
// Equal length and equal ignoring case. Windows' comparison can call texts of different length
// equal (ignorable characters), which must never make two names the same.
bool SameText(StringView a, StringView b);

// Upper-casing with the neutral locale; always keeps the length.
String UpperCaseText(StringView text);

// The system's ANSI code page (GetACP on Windows; Windows-1252 on the host).
uint32_t AnsiCodePage();

// Strict conversion from a Windows code page: false when the bytes are not valid in it or the
// code page is unknown. out holds the text only on success.
bool DecodeCodePage(uint32_t codePage, const char* data, size_t size, String& out);
// Conversion to a Windows code page. out always receives the text, with characters the code page
// cannot hold replaced by '?'; the result is false when anything was replaced or the code page is
// unknown (out is then empty).
bool EncodeCodePage(uint32_t codePage, StringView text, std::string& out);

// ANSI conversions never fail: they are the last resort when a stricter decoding did.
String DecodeAnsi(const char* data, size_t size);
std::string EncodeAnsi(StringView text);

}  // namespace dlx
