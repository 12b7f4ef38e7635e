// Host side of the text services. Case folding uses one table-driven upper-casing for both the
// comparison and the INI hash, so a name always hashes the way it compares. Code pages go through
// iconv, except UTF-8, UTF-16 and Windows-1252 (the host's ANSI), which are converted here.
#include "lib/platform/text.h"

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "lib/platform/utf16_bytes.h"

namespace dlx {

namespace {

// Upper case of one UTF-16 unit: ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and the
// full-width Latin letters; everything else is its own upper case.
Char UpperChar(Char c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? Char(c - 32) : c;
  if (c < 0x100) {
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return Char(c - 32);
    if (c == 0xFF) return 0x178;
    return c;
  }
  if (c < 0x180) {
    // Case pairs sit side by side; the upper case comes first in each pair.
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return (c & 1) ? Char(c - 1) : c;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : Char(c - 1);
    return c;
  }
  if (c >= 0x370 && c < 0x400) {
    if ((c >= 0x3B1 && c <= 0x3C1) || (c >= 0x3C3 && c <= 0x3CB)) return Char(c - 32);
    if (c == 0x3C2) return 0x3A3;  // final sigma
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return Char(c - 37);
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return Char(c - 63);
    return c;
  }
  if (c >= 0x400 && c < 0x530) {
    if (c >= 0x430 && c <= 0x44F) return Char(c - 32);
    if (c >= 0x450 && c <= 0x45F) return Char(c - 80);
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
      return (c & 1) ? Char(c - 1) : c;
    if (c >= 0x4C1 && c <= 0x4CE) return (c & 1) ? c : Char(c - 1);
    if (c == 0x4CF) return 0x4C0;
    return c;
  }
  if (c >= 0xFF41 && c <= 0xFF5A) return Char(c - 32);
  return c;
}

bool IsLowerChar(Char c) {
  return UpperChar(c) != c;
}

// Windows-1252, with the five unassigned bytes mapped to the C1 controls as Windows does.
constexpr Char kCp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

Char Cp1252ToChar(unsigned char b) {
  return (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : Char(b);
}

bool CharToCp1252(Char c, char& out) {
  if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
    out = static_cast<char>(c);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == c) {
      out = static_cast<char>(0x80 + i);
      return true;
    }
  }
  return false;
}

// iconv's name for a Windows code-page number, or nullptr when it has none.
std::string IconvName(uint32_t codePage) {
  switch (codePage) {
    case 20127:
      return "ASCII";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 10000:
      return "MACINTOSH";
    case 10007:
      return "MAC-CYRILLIC";
    case 54936:
      return "GB18030";
    case 51932:
      return "EUC-JP";
    case 51949:
      return "EUC-KR";
    case 50220:
      return "ISO-2022-JP";
    case 20932:
      return "EUC-JP";
    case 12000:
      return "UTF-32LE";
    case 12001:
      return "UTF-32BE";
    default:
      break;
  }
  if (codePage >= 28591 && codePage <= 28606) return "ISO-8859-" + std::to_string(codePage - 28590);
  // The OEM and ANSI code pages (437, 850, 866, 874, 932, 936, 949, 950, 1250-1258) carry their
  // Windows numbers in iconv.
  if (codePage >= 437 && codePage < 2000) return "CP" + std::to_string(codePage);
  return std::string();
}

class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (Valid()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

int CompareTextIgnoreCase(StringView a, StringView b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const Char x = UpperChar(a[i]), y = UpperChar(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareTextWithCase(StringView a, StringView b) {
  if (const int primary = CompareTextIgnoreCase(a, b)) return primary;
  // Same letters: like the Windows word sort, a lower-case letter precedes its upper case.
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] == b[i]) continue;
    const bool lowerA = IsLowerChar(a[i]), lowerB = IsLowerChar(b[i]);
    if (lowerA != lowerB) return lowerA ? -1 : 1;
    return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

bool SameText(StringView a, StringView b) {
  return a.size() == b.size() && CompareTextIgnoreCase(a, b) == 0;
}

String UpperCaseText(StringView text) {
  String out(text);
  for (Char& c : out) c = UpperChar(c);
  return out;
}

uint32_t AnsiCodePage() {
  return kCodePageWindows1252;
}

bool DecodeCodePage(uint32_t codePage, const char* data, size_t size, String& out) {
  switch (codePage) {
    case kCodePageUtf8:
      return TryDecodeUtf8(std::string_view(data, size), out);
    case kCodePageUtf16LE:
      return DecodeUtf16(data, size, false, out);
    case kCodePageUtf16BE:
      return DecodeUtf16(data, size, true, out);
    case kCodePageWindows1252:
      out = DecodeAnsi(data, size);
      return true;
    default:
      break;
  }
  const std::string name = IconvName(codePage);
  if (name.empty()) return false;
  IconvHandle cd("UTF-16LE", name.c_str());
  if (!cd.Valid()) return false;
  std::vector<char> buffer(size * 2 + 16);
  char* in = const_cast<char*>(data);
  size_t inLeft = size;
  std::string result;
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
    result.append(buffer.data(), buffer.size() - outLeft);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) return false;
  }
  // Flush a stateful encoding's shift state.
  char* outPtr = buffer.data();
  size_t outLeft = buffer.size();
  if (iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) return false;
  result.append(buffer.data(), buffer.size() - outLeft);
  return DecodeUtf16(result.data(), result.size(), false, out);
}

bool EncodeCodePage(uint32_t codePage, StringView text, std::string& out) {
  out.clear();
  switch (codePage) {
    case kCodePageUtf8: {
      out = ToUtf8(text);
      String check;
      return TryDecodeUtf8(out, check) && check == text;
    }
    case kCodePageUtf16LE:
      EncodeUtf16(text, false, out);
      return true;
    case kCodePageUtf16BE:
      EncodeUtf16(text, true, out);
      return true;
    case kCodePageWindows1252: {
      bool exact = true;
      out.reserve(text.size());
      for (Char c : text) {
        char b;
        if (!CharToCp1252(c, b)) b = '?', exact = false;
        out.push_back(b);
      }
      return exact;
    }
    default:
      break;
  }
  const std::string name = IconvName(codePage);
  if (name.empty()) return false;
  IconvHandle cd(name.c_str(), "UTF-16LE");
  if (!cd.Valid()) return false;
  std::string utf16;
  EncodeUtf16(text, false, utf16);
  std::vector<char> buffer(text.size() * 4 + 16);
  char* in = utf16.data();
  size_t inLeft = utf16.size();
  bool exact = true;
  while (inLeft > 0) {
    char* outPtr = buffer.data();
    size_t outLeft = buffer.size();
    const size_t rc = iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer.data(), buffer.size() - outLeft);
    if (rc != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // A character the code page lacks (or a lone surrogate): write '?' and step over it.
    exact = false;
    out.push_back('?');
    size_t skip = 2;
    if (inLeft >= 4) {
      const unsigned unit = static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8);
      const unsigned next = static_cast<unsigned char>(in[2]) | (static_cast<unsigned char>(in[3]) << 8);
      if (unit >= 0xD800 && unit <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) skip = 4;
    }
    skip = std::min(skip, inLeft);
    in += skip;
    inLeft -= skip;
  }
  char* outPtr = buffer.data();
  size_t outLeft = buffer.size();
  iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft);
  out.append(buffer.data(), buffer.size() - outLeft);
  return exact;
}

String DecodeAnsi(const char* data, size_t size) {
  String out;
  out.resize(size);
  for (size_t i = 0; i < size; ++i) out[i] = Cp1252ToChar(static_cast<unsigned char>(data[i]));
  return out;
}

std::string EncodeAnsi(StringView text) {
  std::string out;
  EncodeCodePage(kCodePageWindows1252, text, out);
  return out;
}

}  // namespace dlx
