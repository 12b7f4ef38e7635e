// Byte streams: the abstract stream every reader and writer of the system works on, and the
// growable in-memory stream. Operations use the stream's current position; a library function
// never takes ownership of a caller's stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace dlx {

enum TDLXSeekOrigin { soBeginning, soCurrent, soEnd };

class TDLXStream {
 public:
  virtual ~TDLXStream() = default;
  TDLXStream() = default;
  TDLXStream(const TDLXStream&) = delete;
  TDLXStream& operator=(const TDLXStream&) = delete;

  // Reads up to count bytes; fewer only at the end of the data.
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Writes up to count bytes; fewer only when the medium refuses (a full disk).
  virtual size_t Write(const void* buffer, size_t count) = 0;
  // Moves the position and returns the new one.
  virtual int64_t Seek(int64_t offset, TDLXSeekOrigin origin) = 0;
  virtual int64_t GetSize();
  virtual void SetSize(int64_t size) = 0;

  int64_t GetPosition() { return Seek(0, soCurrent); }
  void SetPosition(int64_t position) { Seek(position, soBeginning); }

  // Exactly count bytes, or EDLXStreamReadError / EDLXStreamWriteError.
  void ReadBuffer(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count);

  // Copies count bytes from the source's position (count < 0: everything up to its end).
  // Returns the number of bytes copied; a source that ends early raises EDLXStreamReadError.
  int64_t CopyFrom(TDLXStream& source, int64_t count);
};

// A stream over a growable block of memory. Growing never zero-fills on its own, so a decoder can
// size the buffer once and write straight into it.
class TDLXMemoryStream : public TDLXStream {
 public:
  TDLXMemoryStream() = default;
  TDLXMemoryStream(const void* data, size_t size);

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TDLXSeekOrigin origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(size_); }
  // Bytes added by growing are undefined until written.
  void SetSize(int64_t size) override;

  uint8_t* Memory() noexcept { return data_.get(); }
  const uint8_t* Memory() const noexcept { return data_.get(); }
  size_t Size() const noexcept { return size_; }
  void Clear();
  // Replaces the content with the rest of the source, from its position.
  void LoadFromStream(TDLXStream& source);
  void SaveToStream(TDLXStream& target) const;

 private:
  void Reserve(size_t capacity);

  std::unique_ptr<uint8_t[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  size_t position_ = 0;
};

}  // namespace dlx
