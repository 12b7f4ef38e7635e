#include "lib/stream_helpers.h"

#include <vector>

#include "lib/exceptions.h"

namespace dlx {

uint16_t ReadUInt16(TDLXStream& stream) {
  uint8_t b[2];
  stream.ReadBuffer(b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

void WriteUInt16(TDLXStream& stream, uint16_t value) {
  const uint8_t b[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
  stream.WriteBuffer(b, 2);
}

int32_t ReadInt32(TDLXStream& stream) {
  uint8_t b[4];
  stream.ReadBuffer(b, 4);
  const uint32_t v = static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                     (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
  return static_cast<int32_t>(v);
}

void WriteInt32(TDLXStream& stream, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                        static_cast<uint8_t>(v >> 24)};
  stream.WriteBuffer(b, 4);
}

String ReadUtf16String(TDLXStream& stream) {
  const uint16_t count = ReadUInt16(stream);
  std::vector<uint8_t> bytes(static_cast<size_t>(count) * 2);
  stream.ReadBuffer(bytes.data(), bytes.size());
  String text(count, u'\0');
  for (size_t i = 0; i < count; ++i) text[i] = static_cast<Char>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  return text;
}

void WriteUtf16String(TDLXStream& stream, StringView text) {
  if (text.size() > 0xFFFF) throw EDLXArgumentOutOfRange();
  std::vector<uint8_t> bytes(2 + text.size() * 2);
  bytes[0] = static_cast<uint8_t>(text.size());
  bytes[1] = static_cast<uint8_t>(text.size() >> 8);
  for (size_t i = 0; i < text.size(); ++i) {
    bytes[2 + 2 * i] = static_cast<uint8_t>(text[i]);
    bytes[3 + 2 * i] = static_cast<uint8_t>(text[i] >> 8);
  }
  stream.WriteBuffer(bytes.data(), bytes.size());
}

std::string ReadByteString(TDLXStream& stream) {
  const uint16_t count = ReadUInt16(stream);
  std::string bytes(count, '\0');
  stream.ReadBuffer(bytes.data(), count);
  return bytes;
}

void WriteByteString(TDLXStream& stream, std::string_view bytes) {
  if (bytes.size() > 0xFFFF) throw EDLXArgumentOutOfRange();
  WriteUInt16(stream, static_cast<uint16_t>(bytes.size()));
  stream.WriteBuffer(bytes.data(), bytes.size());
}

void WriteByteOrderMark(TDLXStream& stream) {
  static const uint8_t kMark[2] = {0xFF, 0xFE};
  stream.WriteBuffer(kMark, 2);
}

bool ReadByteOrderMark(TDLXStream& stream) {
  const int64_t position = stream.GetPosition();
  uint8_t b[2];
  if (stream.Read(b, 2) == 2 && b[0] == 0xFF && b[1] == 0xFE) return true;
  stream.Seek(position, soBeginning);
  return false;
}

std::unique_ptr<TDLXBufferedFileStream> OpenFileForReading(const String& name) {
  try {
    return std::make_unique<TDLXBufferedFileStream>(name, fmReadShared);
  } catch (...) {
    return nullptr;
  }
}

std::unique_ptr<TDLXBufferedFileStream> CreateFileForWriting(const String& name) {
  try {
    return std::make_unique<TDLXBufferedFileStream>(name, fmCreate);
  } catch (...) {
    return nullptr;
  }
}

}  // namespace dlx
