// The buffered stream under arbitrary sequences of seeks, reads, writes, size changes and flushes,
// over a memory stream, compared step by step with a plain memory stream holding the expected
// content. After destruction the underlying stream must hold exactly the expected bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lib/file_stream.h"

using namespace dlx;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool Empty() const { return pos_ >= size_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t Number() { return Byte() | (Byte() << 8) | (Byte() << 16); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  const size_t bufferSize = 1024 + (in.Byte() % 4) * 512;
  const uint32_t initialSize = in.Number() % 20000;
  std::vector<uint8_t> initial(initialSize);
  for (size_t i = 0; i < initial.size(); ++i) initial[i] = static_cast<uint8_t>(i * 7);

  TDLXMemoryStream underlying(initial.data(), initial.size());
  TDLXMemoryStream model(initial.data(), initial.size());
  std::vector<uint8_t> a, b;
  {
    TDLXBufferedStream s(&underlying, bufferSize, false);
    for (int step = 0; step < 64 && !in.Empty(); ++step) {
      const uint8_t op = in.Byte() % 6;
      const int64_t size = model.GetSize();
      switch (op) {
        case 0: {  // seek anywhere, clamped to the size like the buffered stream does
          const int64_t target = static_cast<int64_t>(in.Number() % 30000) - 500;
          const int64_t expected = std::clamp<int64_t>(target, 0, size);
          Check(s.Seek(target, soBeginning) == expected);
          model.Seek(expected, soBeginning);
          break;
        }
        case 1:
        case 2: {
          const size_t n = in.Number() % (op == 1 ? 600 : 9000);
          // Never a null buffer, even for zero bytes.
          a.resize(n + 1);
          b.resize(n + 1);
          const size_t got = s.Read(a.data(), n);
          Check(got == model.Read(b.data(), n));
          Check(std::memcmp(a.data(), b.data(), got) == 0);
          break;
        }
        case 3:
        case 4: {
          const size_t n = in.Number() % (op == 3 ? 600 : 9000);
          a.assign(n + 1, in.Byte());
          Check(s.Write(a.data(), n) == n);
          model.Write(a.data(), n);
          break;
        }
        default: {
          if (in.Byte() % 2) {
            s.Flush();
          } else {
            const int64_t newSize = in.Number() % 25000;
            // The memory stream leaves growth undefined; the model is filled like the
            // underlying memory stream will be by the buffered stream's SetSize.
            s.SetSize(newSize);
            const int64_t old = model.GetSize();
            const int64_t position = std::min(model.GetPosition(), newSize);
            model.SetSize(newSize);
            if (newSize > old) {
              std::memcpy(model.Memory() + old, underlying.Memory() + old,
                          static_cast<size_t>(newSize - old));
            }
            model.Seek(position, soBeginning);
          }
          break;
        }
      }
      Check(s.GetSize() == model.GetSize());
      Check(s.GetPosition() == model.GetPosition());
    }
  }
  Check(underlying.Size() == model.Size());
  Check(underlying.Size() == 0 || std::memcmp(underlying.Memory(), model.Memory(), model.Size()) == 0);
  return 0;
}
