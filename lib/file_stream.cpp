#include "lib/file_stream.h"

#include <algorithm>
#include <cstring>

#include "lib/exceptions.h"

namespace dlx {

namespace {

[[noreturn]] void RaiseLastError() {
  const uint32_t code = platform::LastError();
  throw EDLXOSError(code, platform::ErrorMessage(code));
}

platform::SeekOrigin ToPlatform(TDLXSeekOrigin origin) {
  switch (origin) {
    case soBeginning:
      return platform::kSeekBegin;
    case soCurrent:
      return platform::kSeekCurrent;
    default:
      return platform::kSeekEnd;
  }
}

}  // namespace

TDLXFileStream::TDLXFileStream(const String& fileName, uint16_t mode, uint32_t flags)
    : fileName_(fileName), handle_(platform::FileHandle::Open(fileName, mode, flags)) {
  if (!handle_.Valid()) {
    const uint32_t code = platform::LastError();
    throw EDLXOSError(code, u"Cannot open file \"" + fileName + u"\". " + platform::ErrorMessage(code));
  }
}

size_t TDLXFileStream::Read(void* buffer, size_t count) {
  size_t done = 0;
  handle_.Read(buffer, count, done);
  return done;
}

size_t TDLXFileStream::Write(const void* buffer, size_t count) {
  size_t done = 0;
  handle_.Write(buffer, count, done);
  return done;
}

int64_t TDLXFileStream::Seek(int64_t offset, TDLXSeekOrigin origin) {
  int64_t position = 0;
  if (!handle_.Seek(offset, ToPlatform(origin), position)) RaiseLastError();
  return position;
}

int64_t TDLXFileStream::GetSize() {
  int64_t size = 0;
  if (!handle_.Size(size)) RaiseLastError();
  return size;
}

void TDLXFileStream::SetSize(int64_t size) {
  if (size < 0) throw EDLXArgumentOutOfRange();
  const int64_t position = Seek(0, soCurrent);
  if (!handle_.SetSize(size)) RaiseLastError();
  if (position > size) Seek(size, soBeginning);
}

TDLXBufferedStream::TDLXBufferedStream(TDLXStream* stream, size_t bufferSize, bool ownsStream)
    : stream_(stream), ownsStream_(ownsStream) {
  try {
    // Left uninitialised: only the window's filled part is ever read, and zeroing would touch
    // every page of the buffer even when a small file needs only the first few.
    bufferSize_ = bufferSize < 1024 ? kDefaultBufferSize : bufferSize;
    buffer_ = std::make_unique_for_overwrite<uint8_t[]>(bufferSize_);
    streamSize_ = stream_->GetSize();
    streamPosition_ = stream_->GetPosition();
    position_ = std::clamp<int64_t>(streamPosition_, 0, streamSize_);
    windowStart_ = position_;
  } catch (...) {
    if (ownsStream_) delete stream_;
    throw;
  }
}

TDLXBufferedStream::~TDLXBufferedStream() {
  // A destructor cannot report the failure; Flush() is the checked way.
  try {
    WriteBack();
  } catch (...) {
  }
  if (ownsStream_) delete stream_;
}

void TDLXBufferedStream::WriteBack() {
  if (!changed_) return;
  const size_t put = StreamWrite(windowStart_, buffer_.get(), windowLength_);
  // The window stays marked as changed, so a later attempt can still write it.
  if (put != windowLength_) throw EDLXStreamWriteError();
  changed_ = false;
  streamSize_ = std::max(streamSize_, windowStart_ + static_cast<int64_t>(windowLength_));
}

void TDLXBufferedStream::Flush() {
  WriteBack();
}

// The underlying stream's position is tracked so that sequential access costs no seek call.
size_t TDLXBufferedStream::StreamRead(int64_t position, void* buffer, size_t count) {
  if (streamPosition_ != position) streamPosition_ = stream_->Seek(position, soBeginning);
  // Unknown until the call has returned, in case it raises.
  streamPosition_ = -1;
  const size_t got = stream_->Read(buffer, count);
  streamPosition_ = position + static_cast<int64_t>(got);
  return got;
}

size_t TDLXBufferedStream::StreamWrite(int64_t position, const void* buffer, size_t count) {
  if (streamPosition_ != position) streamPosition_ = stream_->Seek(position, soBeginning);
  streamPosition_ = -1;
  const size_t put = stream_->Write(buffer, count);
  streamPosition_ = position + static_cast<int64_t>(put);
  return put;
}

void TDLXBufferedStream::MoveWindow(int64_t position) {
  WriteBack();
  windowStart_ = position;
  windowLength_ = 0;
}

void TDLXBufferedStream::LoadWindow(int64_t position) {
  MoveWindow(position);
  windowLength_ = StreamRead(position, buffer_.get(), bufferSize_);
}

size_t TDLXBufferedStream::Read(void* buffer, size_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  // The common case, a small read inside the window, needs no size query of the file: the
  // window only ever holds bytes that exist.
  const int64_t currentEnd = windowStart_ + static_cast<int64_t>(windowLength_);
  if (count != 0 && position_ >= windowStart_ && static_cast<int64_t>(count) <= currentEnd - position_) {
    std::memcpy(out, buffer_.get() + (position_ - windowStart_), count);
    position_ += static_cast<int64_t>(count);
    return count;
  }
  size_t done = 0;
  while (done < count) {
    const int64_t size = GetSize();
    if (position_ >= size) break;
    const size_t want = static_cast<size_t>(std::min<int64_t>(count - done, size - position_));
    const int64_t windowEnd = windowStart_ + static_cast<int64_t>(windowLength_);
    if (position_ >= windowStart_ && position_ < windowEnd) {
      const auto offset = static_cast<size_t>(position_ - windowStart_);
      const size_t n = std::min(want, windowLength_ - offset);
      std::memcpy(out + done, buffer_.get() + offset, n);
      done += n;
      position_ += static_cast<int64_t>(n);
      continue;
    }
    if (want >= bufferSize_) {
      // A read of at least a whole buffer gains nothing from the window: it goes straight to the
      // stream, after a changed window is written back so that the stream holds the latest data.
      // (Smaller reads do better through the window: one large system read and a copy from a
      // cache-warm buffer cost less than several smaller system reads.)
      WriteBack();
      const size_t got = StreamRead(position_, out + done, want);
      done += got;
      position_ += static_cast<int64_t>(got);
      if (got < want) break;
      continue;
    }
    LoadWindow(position_);
    if (windowLength_ == 0) break;
  }
  return done;
}

size_t TDLXBufferedStream::Write(const void* buffer, size_t count) {
  const auto* in = static_cast<const uint8_t*>(buffer);
  const size_t capacity = bufferSize_;
  size_t done = 0;
  while (done < count) {
    const int64_t windowEnd = windowStart_ + static_cast<int64_t>(windowLength_);
    // Writing may extend the window's data at its end, but never leave a hole inside it.
    const bool inWindow = position_ >= windowStart_ && position_ <= windowEnd &&
                          position_ < windowStart_ + static_cast<int64_t>(capacity);
    if (!inWindow) {
      if (count - done >= capacity) {
        WriteBack();
        const size_t want = count - done;
        const size_t put = StreamWrite(position_, in + done, want);
        // The window may now hold outdated bytes: start an empty one after the written data.
        position_ += static_cast<int64_t>(put);
        done += put;
        streamSize_ = std::max(streamSize_, position_);
        MoveWindow(position_);
        if (put < want) break;
        continue;
      }
      LoadWindow(position_);
    }
    const auto offset = static_cast<size_t>(position_ - windowStart_);
    const size_t n = std::min(count - done, capacity - offset);
    std::memcpy(buffer_.get() + offset, in + done, n);
    windowLength_ = std::max(windowLength_, offset + n);
    changed_ = true;
    done += n;
    position_ += static_cast<int64_t>(n);
  }
  return done;
}

int64_t TDLXBufferedStream::Seek(int64_t offset, TDLXSeekOrigin origin) {
  int64_t base = 0;
  if (origin == soCurrent) base = position_;
  const int64_t size = GetSize();
  if (origin == soEnd) base = size;
  position_ = std::clamp<int64_t>(base + offset, 0, size);
  return position_;
}

int64_t TDLXBufferedStream::GetSize() {
  return std::max(streamSize_, windowStart_ + static_cast<int64_t>(windowLength_));
}

void TDLXBufferedStream::SetSize(int64_t size) {
  if (size < 0) throw EDLXArgumentOutOfRange();
  WriteBack();
  stream_->SetSize(size);
  streamPosition_ = stream_->GetPosition();
  streamSize_ = size;
  if (windowStart_ > size) {
    windowStart_ = size;
    windowLength_ = 0;
  } else if (windowStart_ + static_cast<int64_t>(windowLength_) > size) {
    windowLength_ = static_cast<size_t>(size - windowStart_);
  }
  position_ = std::min(position_, size);
}

TDLXBufferedFileStream::TDLXBufferedFileStream(const String& fileName, uint16_t mode, uint32_t flags)
    : TDLXBufferedStream(new TDLXFileStream(fileName, mode, flags), kDefaultBufferSize, true) {}

}  // namespace dlx
