#include "lib/stream.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "lib/exceptions.h"

namespace dlx {

int64_t TDLXStream::GetSize() {
  const int64_t position = Seek(0, soCurrent);
  const int64_t size = Seek(0, soEnd);
  Seek(position, soBeginning);
  return size;
}

void TDLXStream::ReadBuffer(void* buffer, size_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EDLXStreamReadError();
}

void TDLXStream::WriteBuffer(const void* buffer, size_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EDLXStreamWriteError();
}

int64_t TDLXStream::CopyFrom(TDLXStream& source, int64_t count) {
  constexpr size_t kChunk = 256 * 1024;
  std::vector<uint8_t> buffer(kChunk);
  int64_t copied = 0;
  for (;;) {
    size_t want = kChunk;
    if (count >= 0) {
      if (copied == count) break;
      want = static_cast<size_t>(std::min<int64_t>(count - copied, kChunk));
    }
    const size_t got = source.Read(buffer.data(), want);
    if (got == 0) {
      if (count >= 0) throw EDLXStreamReadError();
      break;
    }
    WriteBuffer(buffer.data(), got);
    copied += static_cast<int64_t>(got);
  }
  return copied;
}

TDLXMemoryStream::TDLXMemoryStream(const void* data, size_t size) {
  SetSize(static_cast<int64_t>(size));
  if (size != 0) std::memcpy(data_.get(), data, size);
}

size_t TDLXMemoryStream::Read(void* buffer, size_t count) {
  if (count == 0 || position_ >= size_) return 0;
  const size_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, data_.get() + position_, n);
  position_ += n;
  return n;
}

size_t TDLXMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  const size_t end = position_ + count;
  if (end > size_) {
    Reserve(end);
    // A write after a seek past the end leaves no undefined gap.
    if (position_ > size_) std::memset(data_.get() + size_, 0, position_ - size_);
    size_ = end;
  }
  std::memcpy(data_.get() + position_, buffer, count);
  position_ = end;
  return count;
}

int64_t TDLXMemoryStream::Seek(int64_t offset, TDLXSeekOrigin origin) {
  int64_t base = 0;
  if (origin == soCurrent) base = static_cast<int64_t>(position_);
  if (origin == soEnd) base = static_cast<int64_t>(size_);
  const int64_t target = base + offset;
  position_ = target < 0 ? 0 : static_cast<size_t>(target);
  return static_cast<int64_t>(position_);
}

void TDLXMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  const auto n = static_cast<size_t>(size);
  Reserve(n);
  size_ = n;
  if (position_ > size_) position_ = size_;
}

void TDLXMemoryStream::Reserve(size_t capacity) {
  if (capacity <= capacity_) return;
  // Grow geometrically so that many small writes stay linear overall.
  const size_t grown = std::max(capacity, capacity_ + capacity_ / 2);
  std::unique_ptr<uint8_t[]> bigger(new uint8_t[grown]);
  if (size_) std::memcpy(bigger.get(), data_.get(), size_);
  data_ = std::move(bigger);
  capacity_ = grown;
}

void TDLXMemoryStream::Clear() {
  data_.reset();
  size_ = capacity_ = position_ = 0;
}

void TDLXMemoryStream::LoadFromStream(TDLXStream& source) {
  const int64_t remaining = source.GetSize() - source.GetPosition();
  Clear();
  if (remaining > 0) {
    SetSize(remaining);
    source.ReadBuffer(data_.get(), size_);
  }
}

void TDLXMemoryStream::SaveToStream(TDLXStream& target) const {
  if (size_ != 0) target.WriteBuffer(data_.get(), size_);
}

}  // namespace dlx
