// Windows side of the text services: the user locale's comparison, the neutral locale's
// upper-casing and the system's code-page conversions.
#include "lib/platform/text.h"

#include <windows.h>

#include <climits>

#include "lib/platform/utf16_bytes.h"

namespace dlx {

namespace {

// The API takes int lengths; longer texts are compared in their first INT_MAX units, which no
// text of this system reaches.
int ApiLength(size_t n) {
  return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

const wchar_t* Wide(StringView text) {
  return reinterpret_cast<const wchar_t*>(text.data());
}

int Compare(StringView a, StringView b, DWORD flags) {
  const int r =
      CompareStringW(LOCALE_USER_DEFAULT, flags, Wide(a), ApiLength(a.size()), Wide(b), ApiLength(b.size()));
  if (r == 0) {
    // Only invalid flags fail; fall back to the ordinal order rather than calling texts equal.
    return a == b ? 0 : (a < b ? -1 : 1);
  }
  return r - CSTR_EQUAL;
}

// Code pages for which WideCharToMultiByte refuses the used-default-character flag.
bool RefusesDefaultCharFlag(uint32_t codePage) {
  return codePage == CP_UTF7 || codePage == CP_UTF8 || codePage == 42 ||
         (codePage >= 50220 && codePage <= 50229) || codePage == 52936 || codePage == 54936 ||
         (codePage >= 57002 && codePage <= 57011);
}

bool Decode(UINT codePage, DWORD flags, const char* data, size_t size, String& out) {
  out.clear();
  if (size == 0) return true;
  if (size > INT_MAX) return false;
  const int n = MultiByteToWideChar(codePage, flags, data, static_cast<int>(size), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  if (MultiByteToWideChar(codePage, flags, data, static_cast<int>(size), W(out), n) != n) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace

int CompareTextIgnoreCase(StringView a, StringView b) {
  return Compare(a, b, NORM_IGNORECASE);
}

int CompareTextWithCase(StringView a, StringView b) {
  return Compare(a, b, 0);
}

bool SameText(StringView a, StringView b) {
  return a.size() == b.size() && CompareTextIgnoreCase(a, b) == 0;
}

String UpperCaseText(StringView text) {
  String out(text);
  if (out.empty() || out.size() > INT_MAX) return out;
  // Simple upper-casing maps unit to unit, so the length stays the same.
  LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, Wide(text), static_cast<int>(text.size()), W(out),
               static_cast<int>(out.size()));
  return out;
}

uint32_t AnsiCodePage() {
  return GetACP();
}

bool DecodeCodePage(uint32_t codePage, const char* data, size_t size, String& out) {
  if (codePage == kCodePageUtf16LE) return DecodeUtf16(data, size, false, out);
  if (codePage == kCodePageUtf16BE) return DecodeUtf16(data, size, true, out);
  return Decode(codePage, MB_ERR_INVALID_CHARS, data, size, out);
}

bool EncodeCodePage(uint32_t codePage, StringView text, std::string& out) {
  out.clear();
  if (codePage == kCodePageUtf16LE) return EncodeUtf16(text, false, out), true;
  if (codePage == kCodePageUtf16BE) return EncodeUtf16(text, true, out), true;
  if (text.empty()) return IsValidCodePage(codePage) != 0;
  if (text.size() > INT_MAX / 4) return false;
  const int length = static_cast<int>(text.size());
  if (codePage == CP_UTF8) {
    // Lone surrogates are the only thing UTF-8 cannot hold; the strict call detects them.
    int n =
        WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, Wide(text), length, nullptr, 0, nullptr, nullptr);
    const bool exact = n > 0;
    const DWORD flags = exact ? WC_ERR_INVALID_CHARS : 0;
    if (!exact) n = WideCharToMultiByte(CP_UTF8, 0, Wide(text), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return false;
    out.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_UTF8, flags, Wide(text), length, out.data(), n, nullptr, nullptr);
    return exact;
  }
  // No best-fit mapping: a character the code page lacks becomes '?' and is reported, instead of
  // silently turning into a look-alike (é into e).
  const bool strictFlags = !RefusesDefaultCharFlag(codePage);
  const DWORD flags = strictFlags ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultPtr = strictFlags ? &usedDefault : nullptr;
  const int n = WideCharToMultiByte(codePage, flags, Wide(text), length, nullptr, 0, nullptr, usedDefaultPtr);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  usedDefault = FALSE;
  if (WideCharToMultiByte(codePage, flags, Wide(text), length, out.data(), n, nullptr, usedDefaultPtr) != n) {
    out.clear();
    return false;
  }
  return !usedDefault;
}

String DecodeAnsi(const char* data, size_t size) {
  String out;
  Decode(CP_ACP, 0, data, size, out);
  return out;
}

std::string EncodeAnsi(StringView text) {
  std::string out;
  EncodeCodePage(CP_ACP, text, out);
  return out;
}

}  // namespace dlx
