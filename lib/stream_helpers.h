// Reading and writing the small fields of the binary formats at a stream's position. All
// integers are little-endian. Readers raise EDLXStreamReadError when the stream ends early.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "lib/dlx_string.h"
#include "lib/file_stream.h"
#include "lib/stream.h"

namespace dlx {

// A 16-bit count of UTF-16 code units, then the code units. A text longer than 65,535 units
// raises EDLXArgumentOutOfRange rather than being cut.
String ReadUtf16String(TDLXStream& stream);
void WriteUtf16String(TDLXStream& stream, StringView text);

// A 16-bit byte count, then the bytes (an 8-bit string). Longer than 65,535 bytes raises
// EDLXArgumentOutOfRange.
std::string ReadByteString(TDLXStream& stream);
void WriteByteString(TDLXStream& stream, std::string_view bytes);

int32_t ReadInt32(TDLXStream& stream);
void WriteInt32(TDLXStream& stream, int32_t value);
uint16_t ReadUInt16(TDLXStream& stream);
void WriteUInt16(TDLXStream& stream, uint16_t value);

// The UTF-16LE byte-order mark FF FE.
void WriteByteOrderMark(TDLXStream& stream);
// Consumes a byte-order mark when one is next; otherwise leaves the position and returns false.
bool ReadByteOrderMark(TDLXStream& stream);

// A buffered stream over the file for reading (others may read and write it meanwhile), or null
// when it cannot be opened.
std::unique_ptr<TDLXBufferedFileStream> OpenFileForReading(const String& name);
// A buffered stream over a new (or truncated) file, or null when it cannot be created. Call
// Flush() before the stream goes away: only that reports a failed final write.
std::unique_ptr<TDLXBufferedFileStream> CreateFileForWriting(const String& name);

}  // namespace dlx
