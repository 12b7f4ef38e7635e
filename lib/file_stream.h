// File streams: a stream over an open platform file, and a buffered stream that keeps a window of
// its underlying stream in memory so that small reads and writes cost no system call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "lib/dlx_string.h"
#include "lib/platform/fs.h"
#include "lib/stream.h"

namespace dlx {

// File modes in the traditional 16-bit encoding: bits 0-1 access, bits 4-7 sharing; a high byte of
// 0xFF creates (or truncates) the file for reading and writing with no sharing, whatever sharing
// bits the mode also holds.
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;
constexpr uint16_t fmCreate = 0xFF00;

// The modes the system uses: reading while others may read and write; creating the package
// builder's output; creating the installer's target files (exclusive, as every create is).
constexpr uint16_t fmReadShared = fmOpenRead | fmShareDenyNone;  // 0x0040
constexpr uint16_t fmCreateOutput = fmCreate;                    // 0xFF00
constexpr uint16_t fmCreateTarget = fmCreate | fmShareDenyNone;  // 0xFF40

// A stream over a platform file. Opening failures raise EDLXOSError with the message
// Cannot open file "<name>". <platform message>
class TDLXFileStream : public TDLXStream {
 public:
  // flags: extra platform attribute flags for the open call (Windows), combined with the
  // normal-file attribute.
  TDLXFileStream(const String& fileName, uint16_t mode, uint32_t flags = 0);

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  // A seek the platform refuses (before the start of the file) raises EDLXOSError.
  int64_t Seek(int64_t offset, TDLXSeekOrigin origin) override;
  int64_t GetSize() override;
  // Truncates or extends the file (the platform fills an extension); the position is kept, but
  // never beyond the new end. Raises EDLXOSError when the platform refuses.
  void SetSize(int64_t size) override;

  const String& FileName() const noexcept { return fileName_; }

 private:
  String fileName_;
  platform::FileHandle handle_;
};

// A buffered stream: a window of the underlying stream held in memory. Reading outside the window
// moves it (one read of the buffer size); writing changes the window and marks it changed. A
// changed window is written back when the window moves, on Flush, and in the destructor. The
// destructor cannot report a failed write-back, so writers of files that matter call Flush()
// first. Seeks are clamped to 0 and the size. While the buffered stream exists, its underlying
// stream must not be used directly.
class TDLXBufferedStream : public TDLXStream {
 public:
  static constexpr size_t kDefaultBufferSize = 262144;
  // A buffer size below 1,024 bytes means the default.
  TDLXBufferedStream(TDLXStream* stream, size_t bufferSize, bool ownsStream);
  ~TDLXBufferedStream() override;

  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TDLXSeekOrigin origin) override;
  int64_t GetSize() override;
  void SetSize(int64_t size) override;

  // Writes a changed window back; raises EDLXStreamWriteError when the underlying stream takes
  // fewer bytes.
  void Flush();

  TDLXStream& Stream() noexcept { return *stream_; }
  size_t BufferSize() const noexcept { return bufferSize_; }

 private:
  void WriteBack();
  // Drops the window after writing it back, placing an empty one at position.
  void MoveWindow(int64_t position);
  void LoadWindow(int64_t position);
  size_t StreamRead(int64_t position, void* buffer, size_t count);
  size_t StreamWrite(int64_t position, const void* buffer, size_t count);

  TDLXStream* stream_;
  bool ownsStream_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t bufferSize_ = 0;
  int64_t windowStart_ = 0;
  size_t windowLength_ = 0;  // bytes of the window that hold data
  bool changed_ = false;
  int64_t position_ = 0;
  int64_t streamSize_ = 0;       // the underlying stream's size, kept up to date by this object
  int64_t streamPosition_ = -1;  // the underlying stream's position, -1 when unknown
};

// A buffered stream over a file it opens itself, with the default 256 KiB buffer.
class TDLXBufferedFileStream : public TDLXBufferedStream {
 public:
  TDLXBufferedFileStream(const String& fileName, uint16_t mode, uint32_t flags = 0);

  TDLXFileStream& FileStream() noexcept { return static_cast<TDLXFileStream&>(Stream()); }
  const String& FileName() noexcept { return FileStream().FileName(); }
};

}  // namespace dlx
