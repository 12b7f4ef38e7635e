#include "lib/text_encoding.h"

#include <vector>

#include "lib/platform/text.h"

namespace dlx {

namespace {

uint32_t CodePageOf(const TDLXEncoding& encoding) {
  switch (encoding.Kind) {
    case teUtf8:
      return kCodePageUtf8;
    case teUtf16LE:
      return kCodePageUtf16LE;
    case teUtf16BE:
      return kCodePageUtf16BE;
    case teCodePage:
      return encoding.CodePage;
    case teNone:
    case teAnsi:
      break;
  }
  return AnsiCodePage();
}

}  // namespace

std::string EncodingPreamble(const TDLXEncoding& encoding) {
  switch (encoding.Kind) {
    case teUtf8:
      return "\xEF\xBB\xBF";
    case teNone:
    case teUtf16LE:
      return "\xFF\xFE";
    case teUtf16BE:
      return "\xFE\xFF";
    case teAnsi:
    case teCodePage:
      break;
  }
  return std::string();
}

String DecodeTextBytes(const uint8_t* data, size_t size, const TDLXEncoding& expected,
                       TDLXEncoding* detected) {
  TDLXEncoding encoding = expected.IsNone() ? TDLXEncoding::Ansi() : expected;
  // A two-byte mark counts even when nothing follows it: an empty UTF-16 file is two bytes long
  // and must read as empty text, not as two ANSI characters.
  if (size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    encoding = TDLXEncoding::Utf8();
    data += 3, size -= 3;
  } else if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    encoding = TDLXEncoding::Utf16LE();
    data += 2, size -= 2;
  } else if (size >= 2 && data[0] == 0xFE && data[1] == 0xFF) {
    encoding = TDLXEncoding::Utf16BE();
    data += 2, size -= 2;
  }
  if (detected) *detected = encoding;
  const char* bytes = reinterpret_cast<const char*>(data);
  String text;
  if (encoding.Kind == teUtf16LE || encoding.Kind == teUtf16BE) {
    // A dangling last byte of UTF-16 text cannot form a character and is dropped.
    DecodeCodePage(CodePageOf(encoding), bytes, size - size % 2, text);
    return text;
  }
  if (encoding.Kind != teAnsi && DecodeCodePage(CodePageOf(encoding), bytes, size, text)) return text;
  return DecodeAnsi(bytes, size);
}

String DecodeTextStream(TDLXStream& stream, const TDLXEncoding& expected, TDLXEncoding* detected) {
  const int64_t position = stream.GetPosition();
  const int64_t size = stream.GetSize();
  std::vector<uint8_t> bytes(size > position ? static_cast<size_t>(size - position) : 0);
  if (!bytes.empty()) bytes.resize(stream.Read(bytes.data(), bytes.size()));
  return DecodeTextBytes(bytes.data(), bytes.size(), expected, detected);
}

std::string EncodeTextBytes(StringView text, const TDLXEncoding& encoding) {
  if (encoding.Kind == teAnsi) return EncodeAnsi(text);
  std::string bytes;
  EncodeCodePage(encoding.IsNone() ? kCodePageUtf16LE : CodePageOf(encoding), text, bytes);
  // A code page this system cannot convert to must not turn the text into nothing.
  if (bytes.empty() && !text.empty()) return EncodeAnsi(text);
  return bytes;
}

void WriteEncodedText(TDLXStream& stream, StringView text, const TDLXEncoding& encoding) {
  const std::string preamble = EncodingPreamble(encoding);
  const std::string bytes = EncodeTextBytes(text, encoding);
  stream.WriteBuffer(preamble.data(), preamble.size());
  stream.WriteBuffer(bytes.data(), bytes.size());
}

}  // namespace dlx
