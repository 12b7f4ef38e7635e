#include "lib/platform/utf16_bytes.h"

namespace dlx {

bool DecodeUtf16(const char* data, size_t size, bool bigEndian, String& out) {
  out.resize(size / 2);
  for (size_t i = 0; i < out.size(); ++i) {
    const auto lo = static_cast<unsigned char>(data[2 * i + (bigEndian ? 1 : 0)]);
    const auto hi = static_cast<unsigned char>(data[2 * i + (bigEndian ? 0 : 1)]);
    out[i] = Char(lo | (hi << 8));
  }
  return size % 2 == 0;
}

void EncodeUtf16(StringView text, bool bigEndian, std::string& out) {
  out.resize(text.size() * 2);
  for (size_t i = 0; i < text.size(); ++i) {
    out[2 * i + (bigEndian ? 1 : 0)] = static_cast<char>(text[i] & 0xFF);
    out[2 * i + (bigEndian ? 0 : 1)] = static_cast<char>(text[i] >> 8);
  }
}

}  // namespace dlx
