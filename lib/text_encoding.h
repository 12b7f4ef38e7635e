// Text encodings of files and streams: byte-order-mark detection when reading, the mark when
// writing, and the fall-back to ANSI for bytes that are not valid in the expected encoding. The
// string list and the INI file read and write text through these routines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "lib/dlx_string.h"
#include "lib/stream.h"

namespace dlx {

enum TDLXTextEncodingKind {
  teNone,      // unspecified: the reader or writer picks its default
  teAnsi,      // the system code page
  teUtf8,      // written with its byte-order mark
  teUtf16LE,   // written with its byte-order mark
  teUtf16BE,   // written with its byte-order mark
  teCodePage,  // a numbered Windows code page, written without a mark
};

struct TDLXEncoding {
  TDLXTextEncodingKind Kind = teNone;
  uint32_t CodePage = 0;  // for teCodePage

  static TDLXEncoding Ansi() { return {teAnsi, 0}; }
  static TDLXEncoding Utf8() { return {teUtf8, 0}; }
  static TDLXEncoding Utf16LE() { return {teUtf16LE, 0}; }
  static TDLXEncoding Utf16BE() { return {teUtf16BE, 0}; }
  static TDLXEncoding FromCodePage(uint32_t codePage) { return {teCodePage, codePage}; }

  bool IsNone() const { return Kind == teNone; }
  friend bool operator==(const TDLXEncoding&, const TDLXEncoding&) = default;
};

// The byte-order mark written ahead of text in this encoding (empty for ANSI and code pages).
std::string EncodingPreamble(const TDLXEncoding& encoding);

// Decodes bytes. A byte-order mark at the start (FF FE, FE FF, EF BB BF) decides the encoding and is
// skipped; without one, expected is used (teNone meaning ANSI). Bytes that are not valid in the
// chosen encoding are decoded as ANSI instead. detected, when given, receives the encoding that was
// chosen (the mark's, or the expected one).
String DecodeTextBytes(const uint8_t* data, size_t size, const TDLXEncoding& expected,
                       TDLXEncoding* detected = nullptr);
// The same for the rest of a stream, from its position to its end.
String DecodeTextStream(TDLXStream& stream, const TDLXEncoding& expected, TDLXEncoding* detected = nullptr);

// Text as bytes of the encoding, without a mark (teNone meaning UTF-16LE). Characters the
// encoding cannot hold become '?'.
std::string EncodeTextBytes(StringView text, const TDLXEncoding& encoding);
// Writes the encoding's mark and then the text at the stream's position (teNone meaning UTF-16LE).
void WriteEncodedText(TDLXStream& stream, StringView text, const TDLXEncoding& encoding);

}  // namespace dlx
