#include "product/zip_file_io.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr DWORD kBufferSize = 1 << 20;

// One open file: a read buffer (data from readStart) or a write buffer (data for writeStart),
// never both at once; position is the logical file position.
struct TBufferedFile {
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::unique_ptr<uint8_t[]> buffer{new uint8_t[kBufferSize]};
  uint64_t position = 0;
  uint64_t readStart = 0;
  DWORD readLength = 0;
  uint64_t writeStart = 0;
  DWORD writeLength = 0;
  bool failed = false;

  bool Flush() {
    if (writeLength == 0) return true;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(writeStart);
    DWORD written = 0;
    const bool ok = SetFilePointerEx(handle, at, nullptr, FILE_BEGIN) &&
                    WriteFile(handle, buffer.get(), writeLength, &written, nullptr) && written == writeLength;
    writeLength = 0;
    if (!ok) failed = true;
    return ok;
  }
};

voidpf ZCALLBACK Open(voidpf, const void* fileName, int mode) {
  DWORD access = 0, disposition = 0, share = 0;
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ) {
    access = GENERIC_READ;
    disposition = OPEN_EXISTING;
    share = FILE_SHARE_READ;
  } else if (mode & ZLIB_FILEFUNC_MODE_EXISTING) {
    access = GENERIC_READ | GENERIC_WRITE;
    disposition = OPEN_EXISTING;
  } else if (mode & ZLIB_FILEFUNC_MODE_CREATE) {
    access = GENERIC_READ | GENERIC_WRITE;
    disposition = CREATE_ALWAYS;
  } else {
    return nullptr;
  }
  HANDLE handle = CreateFileW(static_cast<const wchar_t*>(fileName), access, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  auto* file = new TBufferedFile;
  file->handle = handle;
  return file;
}

uLong ZCALLBACK Read(voidpf, voidpf stream, void* out, uLong size) {
  auto* file = static_cast<TBufferedFile*>(stream);
  if (!file->Flush()) return 0;
  auto* target = static_cast<uint8_t*>(out);
  uLong done = 0;
  while (done < size) {
    if (file->position < file->readStart || file->position >= file->readStart + file->readLength) {
      LARGE_INTEGER at;
      at.QuadPart = static_cast<LONGLONG>(file->position);
      DWORD read = 0;
      if (!SetFilePointerEx(file->handle, at, nullptr, FILE_BEGIN) ||
          !ReadFile(file->handle, file->buffer.get(), kBufferSize, &read, nullptr)) {
        file->failed = true;
        break;
      }
      file->readStart = file->position;
      file->readLength = read;
      if (read == 0) break;
    }
    const uint64_t offset = file->position - file->readStart;
    const uLong chunk = static_cast<uLong>(std::min<uint64_t>(size - done, file->readLength - offset));
    std::memcpy(target + done, file->buffer.get() + offset, chunk);
    done += chunk;
    file->position += chunk;
  }
  return done;
}

uLong ZCALLBACK Write(voidpf, voidpf stream, const void* data, uLong size) {
  auto* file = static_cast<TBufferedFile*>(stream);
  file->readLength = 0;
  const auto* source = static_cast<const uint8_t*>(data);
  uLong done = 0;
  while (done < size) {
    if (file->writeLength == kBufferSize ||
        (file->writeLength && file->writeStart + file->writeLength != file->position))
      if (!file->Flush()) return done;
    if (file->writeLength == 0) file->writeStart = file->position;
    const uLong chunk = std::min<uLong>(size - done, kBufferSize - file->writeLength);
    std::memcpy(file->buffer.get() + file->writeLength, source + done, chunk);
    file->writeLength += chunk;
    done += chunk;
    file->position += chunk;
  }
  return done;
}

ZPOS64_T ZCALLBACK Tell(voidpf, voidpf stream) {
  return static_cast<TBufferedFile*>(stream)->position;
}

long ZCALLBACK Seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
  auto* file = static_cast<TBufferedFile*>(stream);
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      file->position = offset;
      return 0;
    case ZLIB_FILEFUNC_SEEK_CUR:
      file->position += offset;
      return 0;
    case ZLIB_FILEFUNC_SEEK_END: {
      if (!file->Flush()) return -1;
      LARGE_INTEGER size;
      if (!GetFileSizeEx(file->handle, &size)) return -1;
      file->position = static_cast<uint64_t>(size.QuadPart) + offset;
      return 0;
    }
    default:
      return -1;
  }
}

int ZCALLBACK Close(voidpf, voidpf stream) {
  auto* file = static_cast<TBufferedFile*>(stream);
  const bool flushed = file->Flush();
  const bool closed = CloseHandle(file->handle) != 0;
  delete file;
  return flushed && closed ? 0 : -1;
}

int ZCALLBACK Error(voidpf, voidpf stream) {
  return static_cast<TBufferedFile*>(stream)->failed ? 1 : 0;
}

}  // namespace

void FillBufferedFileFunctions(zlib_filefunc64_def& functions) {
  functions.zopen64_file = Open;
  functions.zread_file = Read;
  functions.zwrite_file = Write;
  functions.ztell64_file = Tell;
  functions.zseek64_file = Seek;
  functions.zclose_file = Close;
  functions.zerror_file = Error;
  functions.opaque = nullptr;
}
