// Streams with awkward behaviour for the package tests: reads that return only a few bytes at a
// time, and writes that stop being accepted after a limit. Neither is a TDLXMemoryStream, so they
// take the general code paths.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "lib/exceptions.h"
#include "lib/stream.h"

namespace testing_streams {

class TChunkedStream : public dlx::TDLXStream {
 public:
  explicit TChunkedStream(std::vector<uint8_t> data = {}, size_t maxRead = 7, size_t writeLimit = SIZE_MAX)
      : data_(std::move(data)), maxRead_(maxRead), writeLimit_(writeLimit) {}
  size_t Read(void* buffer, size_t count) override {
    if (failReads_) throw dlx::EDLXException(u"read failed on purpose");
    const size_t n = std::min({count, maxRead_, data_.size() - std::min(position_, data_.size())});
    if (n) std::memcpy(buffer, data_.data() + position_, n);
    position_ += n;
    return n;
  }
  size_t Write(const void* buffer, size_t count) override {
    const size_t room = writeLimit_ > written_ ? writeLimit_ - written_ : 0;
    const size_t n = std::min(count, room);
    if (position_ + n > data_.size()) data_.resize(position_ + n);
    if (n) std::memcpy(data_.data() + position_, buffer, n);
    position_ += n;
    written_ += n;
    return n;
  }
  int64_t Seek(int64_t offset, dlx::TDLXSeekOrigin origin) override {
    int64_t base = origin == dlx::soBeginning ? 0
                   : origin == dlx::soCurrent ? static_cast<int64_t>(position_)
                                              : static_cast<int64_t>(data_.size());
    position_ = static_cast<size_t>(std::max<int64_t>(0, base + offset));
    return static_cast<int64_t>(position_);
  }
  void SetSize(int64_t size) override { data_.resize(static_cast<size_t>(size)); }
  std::vector<uint8_t>& Data() { return data_; }
  void FailReads() { failReads_ = true; }

 private:
  std::vector<uint8_t> data_;
  size_t maxRead_;
  size_t writeLimit_;
  size_t position_ = 0;
  size_t written_ = 0;
  bool failReads_ = false;
};

inline std::vector<uint8_t> Bytes(const dlx::TDLXMemoryStream& s) {
  return std::vector<uint8_t>(s.Memory(), s.Memory() + s.Size());
}

// Deterministic mixed data: text-like runs with some noise, so that it compresses but not
// trivially.
inline std::vector<uint8_t> SampleData(size_t size, uint32_t seed = 1) {
  std::vector<uint8_t> out(size);
  static const char kWords[] = "the quick brown fox jumps over the lazy dog setup package ";
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    out[i] = (x >> 28) == 0 ? static_cast<uint8_t>(x >> 16)
                            : static_cast<uint8_t>(kWords[(i + (x >> 30)) % (sizeof kWords - 1)]);
  }
  return out;
}

}  // namespace testing_streams
