#include "core/package/package.h"

#include <algorithm>
#include <cstring>

#include "core/package/hashes.h"
#include "core/package/lzma_stream.h"
#include "core/package/rc4.h"
#include "lib/file_stream.h"
#include "lib/file_system.h"
#include "lib/platform/text.h"

namespace dlx {

namespace {

constexpr uint8_t kSignature[4] = {'I', 'P', 'K', '5'};
constexpr size_t kHeaderSize = 12;
// Name length, no name, offset and size: the least a record can take.
constexpr int64_t kMinRecordSize = 2 + 8 + 8;

uint32_t GetLE32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void PutLE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t ReadInt32(TDLXStream& stream) {
  uint8_t b[4];
  stream.ReadBuffer(b, sizeof b);
  return static_cast<int32_t>(GetLE32(b));
}

int64_t ReadInt64(TDLXStream& stream) {
  uint8_t b[8];
  stream.ReadBuffer(b, sizeof b);
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
  return static_cast<int64_t>(v);
}

void WriteInt32(TDLXStream& stream, int32_t value) {
  uint8_t b[4];
  PutLE32(b, static_cast<uint32_t>(value));
  stream.WriteBuffer(b, sizeof b);
}

void WriteInt64(TDLXStream& stream, int64_t value) {
  uint8_t b[8];
  for (int i = 0; i < 8; ++i) b[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
  stream.WriteBuffer(b, sizeof b);
}

// The RC4 context lives inside the preprocessor, so it lasts exactly as long as one pass.
class TRC4Preprocessor final : public IPreprocessor {
 public:
  explicit TRC4Preprocessor(const std::array<uint8_t, 4>& key) { TRC4::Initialize(context_, key); }
  void Process(uint8_t* data, size_t count) override { TRC4::Crypt(context_, data, data, count); }

 private:
  TRC4Context context_;
};

std::array<uint8_t, 4> KeyToBytes(int32_t key) {
  std::array<uint8_t, 4> bytes;
  PutLE32(bytes.data(), static_cast<uint32_t>(key));
  return bytes;
}

// A read-only view of bytes held elsewhere (the payload being compressed, a resource), optionally
// reporting how far it has been read.
class TReadOnlyView final : public TDLXStream {
 public:
  TReadOnlyView(const uint8_t* data, size_t size, const TSetupPackageProgress* progress = nullptr)
      : data_(data), size_(size), progress_(progress) {}
  size_t Read(void* buffer, size_t count) override {
    const size_t n = std::min(count, size_ - position_);
    if (n) std::memcpy(buffer, data_ + position_, n);
    position_ += n;
    if (progress_ && *progress_) (*progress_)(static_cast<int64_t>(position_), static_cast<int64_t>(size_));
    return n;
  }
  size_t Write(const void*, size_t) override { return 0; }
  int64_t Seek(int64_t offset, TDLXSeekOrigin origin) override {
    int64_t base = origin == soBeginning ? 0
                   : origin == soCurrent ? static_cast<int64_t>(position_)
                                         : static_cast<int64_t>(size_);
    position_ = static_cast<size_t>(std::clamp<int64_t>(base + offset, 0, static_cast<int64_t>(size_)));
    return static_cast<int64_t>(position_);
  }
  void SetSize(int64_t) override { throw EDLXStreamWriteError(); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  const TSetupPackageProgress* progress_;
};

#ifdef _WIN32
// A resource's bytes as a stream, without copying them.
TReadOnlyView ResourceView(HMODULE instance, const String& name) {
  HRSRC info = FindResourceW(instance, W(name), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (info == nullptr) throw EDLXException(u"Resource " + name + u" not found");
  HGLOBAL handle = LoadResource(instance, info);
  const auto* data = handle ? static_cast<const uint8_t*>(LockResource(handle)) : nullptr;
  if (data == nullptr) throw EDLXException(u"Resource " + name + u" not found");
  return TReadOnlyView(data, SizeofResource(instance, info));
}
#endif

}  // namespace

// ---- TSetupPackageFileTable ----

TSetupPackageFileTableItem& TSetupPackageFileTable::Add() {
  items_.push_back(std::make_unique<TSetupPackageFileTableItem>());
  return *items_.back();
}

TSetupPackageFileTableItem& TSetupPackageFileTable::Items(int32_t index) const {
  if (index < 0 || index >= Count()) throw EDLXArgumentOutOfRange();
  return *items_[static_cast<size_t>(index)];
}

bool TSetupPackageFileTable::Find(StringView name, TSetupPackageFileTableItem*& item) const {
  if (!index_.empty()) {
    const auto hit = index_.find(UpperCaseText(name));
    if (hit != index_.end() && hit->second < items_.size() && SameText(items_[hit->second]->Name, name)) {
      item = items_[hit->second].get();
      return true;
    }
  }
  for (const auto& candidate : items_) {
    if (SameText(candidate->Name, name)) {
      item = candidate.get();
      return true;
    }
  }
  return false;
}

void TSetupPackageFileTable::LoadFromStream(TDLXStream& stream) {
  const int32_t count = ReadInt32(stream);
  if (count <= 0) return;
  // Never trust the count for an allocation or a loop bound beyond what the stream can hold.
  const int64_t left = stream.GetSize() - stream.GetPosition();
  if (static_cast<int64_t>(count) > left / kMinRecordSize) throw EDLXStreamReadError();
  std::vector<uint8_t> name;
  for (int32_t i = 0; i < count; ++i) {
    uint8_t lengthBytes[2];
    stream.ReadBuffer(lengthBytes, 2);
    const size_t length = lengthBytes[0] | (size_t{lengthBytes[1]} << 8);
    name.resize(length * 2);
    stream.ReadBuffer(name.data(), name.size());
    auto item = std::make_unique<TSetupPackageFileTableItem>();
    item->Name.resize(length);
    for (size_t k = 0; k < length; ++k)
      item->Name[k] = static_cast<Char>(name[2 * k] | (name[2 * k + 1] << 8));
    item->Offset = ReadInt64(stream);
    item->Size = ReadInt64(stream);
    index_.emplace(UpperCaseText(item->Name), items_.size());
    items_.push_back(std::move(item));
  }
}

void TSetupPackageFileTable::SaveToStream(TDLXStream& stream) const {
  WriteInt32(stream, Count());
  std::vector<uint8_t> record;
  for (const auto& item : items_) {
    const size_t length = item->Name.size();
    if (length > 0xFFFF) throw EDLXArgumentOutOfRange();
    record.resize(2 + 2 * length);
    record[0] = static_cast<uint8_t>(length & 0xFF);
    record[1] = static_cast<uint8_t>(length >> 8);
    for (size_t k = 0; k < length; ++k) {
      record[2 + 2 * k] = static_cast<uint8_t>(item->Name[k] & 0xFF);
      record[3 + 2 * k] = static_cast<uint8_t>(item->Name[k] >> 8);
    }
    stream.WriteBuffer(record.data(), record.size());
    WriteInt64(stream, item->Offset);
    WriteInt64(stream, item->Size);
  }
}

// ---- TCustomSetupPackage ----

bool TCustomSetupPackage::Exists(StringView name) const {
  TSetupPackageFileTableItem* item = nullptr;
  return fileTable_.Find(name, item);
}

bool TCustomSetupPackage::Extract(StringView name, std::unique_ptr<TDLXMemoryStream>& stream) const {
  TSetupPackageFileTableItem* item = nullptr;
  if (!fileTable_.Find(name, item)) return false;
  const auto total = static_cast<int64_t>(payload_.Size());
  if (item->Offset < 0 || item->Size < 0 || item->Offset > total || item->Size > total - item->Offset)
    throw EDLXStreamReadError();
  // The payload is memory already: one copy, and the payload's position is never touched, so
  // extracting does not disturb anything else.
  auto copy =
      std::make_unique<TDLXMemoryStream>(payload_.Memory() + item->Offset, static_cast<size_t>(item->Size));
  copy->SetPosition(0);
  stream = std::move(copy);
  return true;
}

// ---- TSetupPackageReader ----

TSetupPackageReader::TSetupPackageReader(TDLXStream& stream) {
  Read(stream);
}

TSetupPackageReader::TSetupPackageReader(const String& fileName) {
  TDLXBufferedFileStream stream(fileName, fmReadShared);
  Read(stream);
}

#ifdef _WIN32
TSetupPackageReader::TSetupPackageReader(HMODULE instance, const String& resourceName) {
  TReadOnlyView stream = ResourceView(instance, resourceName);
  Read(stream);
}
#endif

void TSetupPackageReader::Read(TDLXStream& source) {
  uint8_t header[kHeaderSize];
  source.ReadBuffer(header, sizeof header);
  if (std::memcmp(header, kSignature, sizeof kSignature) != 0) throw ESetupPackageReadError();
  const uint32_t expectedCrc = GetLE32(header + 4);
  const uint32_t payloadSize = GetLE32(header + 8);

  // A size the body cannot possibly decode to would only make us allocate for nothing.
  const int64_t bodySize = source.GetSize() - source.GetPosition();
  if (static_cast<int64_t>(payloadSize) > LzmaMaxUnpackedSize(bodySize)) throw ESetupPackageReadError();

  auto decipher = std::make_shared<TRC4Preprocessor>(KeyToBytes(SetupPackageKey));
  LzmaDecompress(source, payload_, decipher, payloadSize);
  payload_.SetPosition(0);
  if (payload_.Size() != payloadSize) throw ESetupPackageReadError();
  TDLXHashState state;
  const TDLXHash& crc = TDLXHashCRC32::Class();
  crc.Initialize(state);
  crc.UpdateFromStream(state, payload_);
  if (std::get<uint32_t>(crc.Finalize(state)) != expectedCrc) throw ESetupPackageReadError();

  // The table sits in front of its 32-bit length at the payload's end.
  const auto size = static_cast<int64_t>(payloadSize);
  if (size < 4) throw EDLXStreamReadError();
  payload_.SetPosition(size - 4);
  const int32_t tableLength = ReadInt32(payload_);
  if (tableLength < 0 || static_cast<int64_t>(tableLength) > size - 4) throw EDLXStreamReadError();
  payload_.SetPosition(size - 4 - tableLength);
  fileTable_.LoadFromStream(payload_);
  for (int32_t i = 0; i < fileTable_.Count(); ++i) {
    const auto& item = fileTable_.Items(i);
    if (item.Offset < 0 || item.Size < 0 || item.Offset > size || item.Size > size - item.Offset)
      throw EDLXStreamReadError();
  }
  payload_.SetPosition(0);
}

// ---- TSetupPackageBuilder ----

TSetupPackageBuilder::TSetupPackageBuilder(int32_t key) : KeyBytes(KeyToBytes(key)) {}

int64_t TSetupPackageBuilder::Add(TDLXStream& stream, StringView name) {
  if (name.size() > 0xFFFF) throw EDLXArgumentOutOfRange();
  const auto offset = static_cast<int64_t>(payload_.Size());
  const int64_t size = std::max<int64_t>(0, stream.GetSize() - stream.GetPosition());
  payload_.SetPosition(offset);
  try {
    payload_.CopyFrom(stream, size);
  } catch (...) {
    payload_.SetSize(offset);
    throw;
  }
  auto& item = fileTable_.Add();
  item.Name = String(name);
  item.Offset = offset;
  item.Size = size;
  return size;
}

void TSetupPackageBuilder::Commit(TDLXStream& dest, int32_t level, const TSetupPackageProgress& progress) {
  const auto dataSize = static_cast<int64_t>(payload_.Size());
  // Table and length go onto the payload only for the length of this call.
  struct TRestore {
    TDLXMemoryStream& Payload;
    int64_t Size;
    ~TRestore() { Payload.SetSize(Size); }
  } restore{payload_, dataSize};

  TDLXMemoryStream table;
  fileTable_.SaveToStream(table);
  if (table.Size() > 0x7FFFFFFF) throw EDLXArgumentOutOfRange();
  payload_.SetPosition(dataSize);
  table.SaveToStream(payload_);
  WriteInt32(payload_, static_cast<int32_t>(table.Size()));
  // The header holds the size in 32 bits; a larger payload would be written as a lie.
  if (payload_.Size() > 0xFFFFFFFFu) throw EDLXArgumentOutOfRange();

  uint8_t header[kHeaderSize];
  std::memcpy(header, kSignature, sizeof kSignature);
  PutLE32(header + 4, Crc32(payload_.Memory(), payload_.Size()));
  PutLE32(header + 8, static_cast<uint32_t>(payload_.Size()));
  dest.WriteBuffer(header, sizeof header);

  auto encipher = std::make_shared<TRC4Preprocessor>(KeyBytes);
  TReadOnlyView source(payload_.Memory(), payload_.Size(), &progress);
  LzmaCompress(source, dest, level, encipher);
}

void TSetupPackageBuilder::SaveToFile(const String& fileName, int32_t level) {
  auto file = std::make_unique<TDLXBufferedFileStream>(fileName, fmCreateOutput);
  try {
    Commit(*file, level);
    file->Flush();
  } catch (...) {
    // Close before removing: a half-written package must not stay behind.
    file.reset();
    DeleteFile(fileName);
    throw;
  }
}

}  // namespace dlx
