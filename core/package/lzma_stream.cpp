#include "core/package/lzma_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>

extern "C" {
#include "LzmaDec.h"
#include "LzmaEnc.h"
}

namespace dlx {

namespace {

constexpr size_t kBufferSize = 65536;
constexpr int64_t kMaxBytesPerInputByte = 8192;

class TFunctionPreprocessor final : public IPreprocessor {
 public:
  explicit TFunctionPreprocessor(std::function<void(uint8_t*, size_t)> f) : f_(std::move(f)) {}
  void Process(uint8_t* data, size_t count) override { f_(data, count); }

 private:
  std::function<void(uint8_t*, size_t)> f_;
};

// The codec is C code: an exception must never unwind through it. Callbacks park the first
// exception here and report a failure; the call rethrows it once the codec has returned and
// everything is released.
struct TCallContext {
  TLZMAStreams Streams;
  std::exception_ptr Failure;
  bool AllocationFailed = false;
};

struct TAllocator {
  ISzAlloc Interface;
  TCallContext* Context;
};

struct TInStream {
  ISeqInStream Interface;
  TCallContext* Context;
};

struct TOutStream {
  ISeqOutStream Interface;
  TCallContext* Context;
};

void* AllocCallback(void* p, size_t size) {
  auto* self = static_cast<TAllocator*>(p);
  void* memory = size ? std::calloc(1, size) : nullptr;
  if (size && memory == nullptr) self->Context->AllocationFailed = true;
  return memory;
}

void FreeCallback(void*, void* address) {
  std::free(address);
}

// Reads up to *size bytes and runs the source preprocessor over exactly those.
size_t ReadBlock(TCallContext& context, void* buffer, size_t size) {
  if (context.Failure) return 0;
  try {
    const size_t got = context.Streams.SourceStream->Read(buffer, size);
    if (got && context.Streams.SourcePreprocessor)
      context.Streams.SourcePreprocessor->Process(static_cast<uint8_t*>(buffer), got);
    return got;
  } catch (...) {
    context.Failure = std::current_exception();
    return 0;
  }
}

SRes ReadCallback(void* p, void* buffer, size_t* size) {
  auto& context = *static_cast<TInStream*>(p)->Context;
  *size = ReadBlock(context, buffer, *size);
  return context.Failure ? SZ_ERROR_READ : SZ_OK;
}

// Runs the destination preprocessor over the block, then writes it.
size_t WriteCallback(void* p, const void* buffer, size_t size) {
  auto& context = *static_cast<TOutStream*>(p)->Context;
  if (context.Failure) return 0;
  try {
    // The codec hands out its own output buffer; enciphering in place is what the hook is for.
    auto* data = static_cast<uint8_t*>(const_cast<void*>(buffer));
    if (size && context.Streams.DestPreprocessor) context.Streams.DestPreprocessor->Process(data, size);
    return size ? context.Streams.DestStream->Write(data, size) : 0;
  } catch (...) {
    context.Failure = std::current_exception();
    return 0;
  }
}

void Finish(TCallContext& context, SRes result) {
  if (context.Failure) std::rethrow_exception(context.Failure);
  if (result == SZ_ERROR_MEM && context.AllocationFailed) throw std::bad_alloc();
}

CLzmaEncProps LevelProps(int32_t level) {
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.level = level;
  props.writeEndMark = 0;
  props.numThreads = 1;
  LzmaEncProps_Normalize(&props);
  return props;
}

// Decoding into a memory stream that already has room for the whole output: the memory itself is
// the dictionary, which is exactly as large as the output can ever grow.
SRes DecodeIntoMemory(TCallContext& context, CLzmaDec& decoder, TDLXMemoryStream& dest, size_t unpacked,
                      uint8_t* input) {
  const auto start = static_cast<size_t>(dest.GetPosition());
  dest.SetSize(static_cast<int64_t>(start + unpacked));
  decoder.dic = dest.Memory() + start;
  decoder.dicBufSize = unpacked;
  LzmaDec_Init(&decoder);
  SRes result = SZ_OK;
  size_t inPos = 0, inSize = 0;
  while (decoder.dicPos < unpacked) {
    if (inPos == inSize) {
      inSize = ReadBlock(context, input, kBufferSize);
      inPos = 0;
      if (context.Failure) break;
    }
    SizeT consumed = inSize - inPos;
    const SizeT before = decoder.dicPos;
    ELzmaStatus status;
    result = LzmaDec_DecodeToDic(&decoder, unpacked, input + inPos, &consumed, LZMA_FINISH_END, &status);
    inPos += consumed;
    if (result != SZ_OK) break;
    if (consumed == 0 && decoder.dicPos == before) {
      // Input exhausted, or an end mark before the promised size.
      if (decoder.dicPos < unpacked) result = SZ_ERROR_DATA;
      break;
    }
  }
  const size_t produced = decoder.dicPos;
  decoder.dic = nullptr;
  dest.SetSize(static_cast<int64_t>(start + produced));
  dest.SetPosition(static_cast<int64_t>(start + produced));
  return result;
}

// The general case: a dictionary of its own and a 64 KiB output block written through the
// callback. With a known size the dictionary never needs to be larger than the output, which
// keeps forged property bytes from demanding gigabytes.
SRes DecodeThroughBuffer(TCallContext& context, CLzmaDec& decoder, int64_t unpacked, uint8_t* input,
                         uint8_t* output, TAllocator& alloc, TOutStream& out) {
  size_t dictionary = decoder.prop.dicSize;
  if (unpacked >= 0)
    dictionary = static_cast<size_t>(std::clamp<int64_t>(unpacked, 1, static_cast<int64_t>(dictionary)));
  decoder.dic = static_cast<Byte*>(AllocCallback(&alloc, dictionary));
  if (decoder.dic == nullptr) return SZ_ERROR_MEM;
  decoder.dicBufSize = dictionary;
  LzmaDec_Init(&decoder);

  SRes result = SZ_OK;
  int64_t remaining = unpacked;
  size_t inPos = 0, inSize = 0;
  for (;;) {
    if (inPos == inSize) {
      inSize = ReadBlock(context, input, kBufferSize);
      inPos = 0;
      if (context.Failure) break;
    }
    SizeT room = kBufferSize;
    ELzmaFinishMode finish = LZMA_FINISH_ANY;
    if (unpacked >= 0 && remaining < static_cast<int64_t>(kBufferSize)) {
      room = static_cast<SizeT>(remaining);
      finish = LZMA_FINISH_END;
    }
    SizeT consumed = inSize - inPos;
    ELzmaStatus status;
    result = LzmaDec_DecodeToBuf(&decoder, output, &room, input + inPos, &consumed, finish, &status);
    inPos += consumed;
    if (unpacked >= 0) remaining -= static_cast<int64_t>(room);
    if (room && WriteCallback(&out, output, room) != room) {
      result = SZ_ERROR_WRITE;
      break;
    }
    if (result != SZ_OK || (unpacked >= 0 && remaining == 0)) break;
    if (consumed == 0 && room == 0) {
      if (unpacked >= 0 || status != LZMA_STATUS_FINISHED_WITH_MARK) result = SZ_ERROR_DATA;
      break;
    }
  }
  return result;
}

}  // namespace

ELzmaError::ELzmaError(int32_t code) : EDLXException(u"LZMA Error (" + IntToStr(code) + u")"), code_(code) {}

TPreprocessor MakePreprocessor(std::function<void(uint8_t* data, size_t count)> process) {
  return std::make_shared<TFunctionPreprocessor>(std::move(process));
}

int64_t LzmaMaxUnpackedSize(int64_t compressedSize) {
  if (compressedSize < 0) compressedSize = 0;
  constexpr int64_t kLimit = INT64_MAX / kMaxBytesPerInputByte - 64;
  if (compressedSize > kLimit) return INT64_MAX;
  return (compressedSize + 64) * kMaxBytesPerInputByte;
}

TLzmaLevelSettings LzmaLevelSettings(int32_t level) {
  const CLzmaEncProps p = LevelProps(level);
  return {p.level, p.dictSize, p.lc, p.lp, p.pb, p.algo, p.fb, p.btMode, p.numHashBytes, p.mc, p.numThreads};
}

void LzmaCompress(TDLXStream& source, TDLXStream& dest, int32_t level,
                  const TPreprocessor& destPreprocessor) {
  TCallContext context;
  context.Streams.DestPreprocessor = destPreprocessor;
  context.Streams.DestStream = &dest;
  context.Streams.SourceStream = &source;
  TAllocator alloc{{AllocCallback, FreeCallback}, &context};
  TInStream in{{ReadCallback}, &context};
  TOutStream out{{WriteCallback}, &context};

  SRes result = SZ_ERROR_MEM;
  CLzmaEncHandle encoder = LzmaEnc_Create(&alloc.Interface);
  if (encoder) {
    const CLzmaEncProps props = LevelProps(level);
    result = LzmaEnc_SetProps(encoder, &props);
    if (result == SZ_OK) {
      Byte header[LZMA_PROPS_SIZE];
      SizeT headerSize = sizeof header;
      result = LzmaEnc_WriteProperties(encoder, header, &headerSize);
      if (result == SZ_OK && WriteCallback(&out, header, headerSize) != headerSize) result = SZ_ERROR_WRITE;
      if (result == SZ_OK)
        result = LzmaEnc_Encode(encoder, &out.Interface, &in.Interface, nullptr, &alloc.Interface,
                                &alloc.Interface);
    }
    LzmaEnc_Destroy(encoder, &alloc.Interface, &alloc.Interface);
  }
  Finish(context, result);
  if (result != SZ_OK) throw ELzmaError(result);
}

TLzmaResult LzmaDecompress(TDLXStream& source, TDLXStream& dest, const TPreprocessor& sourcePreprocessor,
                           int64_t unpackedSize) {
  if (unpackedSize < -1) throw EDLXArgumentOutOfRange();
  TCallContext context;
  context.Streams.DestStream = &dest;
  context.Streams.SourcePreprocessor = sourcePreprocessor;
  context.Streams.SourceStream = &source;
  TAllocator alloc{{AllocCallback, FreeCallback}, &context};
  TOutStream out{{WriteCallback}, &context};

  // The property bytes pass the preprocessor like the rest; a source that ends inside them is
  // a data error, and the codec never sees bytes that were not read.
  Byte header[LZMA_PROPS_SIZE];
  size_t have = 0;
  while (have < sizeof header) {
    const size_t got = ReadBlock(context, header + have, sizeof header - have);
    if (got == 0) break;
    have += got;
  }
  if (context.Failure) std::rethrow_exception(context.Failure);
  if (have < sizeof header) return lrDataError;

  CLzmaDec decoder;
  LzmaDec_Construct(&decoder);
  // Releases the probability tables and, on the general route, the dictionary on every way out.
  struct TDecoderGuard {
    CLzmaDec& Decoder;
    ISzAlloc* Alloc;
    bool OwnsDictionary = false;
    ~TDecoderGuard() {
      if (OwnsDictionary) FreeCallback(nullptr, Decoder.dic);
      Decoder.dic = nullptr;
      LzmaDec_FreeProbs(&Decoder, Alloc);
    }
  } guard{decoder, &alloc.Interface};

  SRes result = LzmaDec_AllocateProbs(&decoder, header, sizeof header, &alloc.Interface);
  if (result == SZ_OK && unpackedSize != 0) {
    std::unique_ptr<uint8_t[]> input(new uint8_t[kBufferSize]);
    auto* memory = dynamic_cast<TDLXMemoryStream*>(&dest);
    // Only take the direct route when the promised size is credible for the input at hand;
    // otherwise the data decides how far the output grows.
    bool direct = false;
    if (memory && unpackedSize > 0 && unpackedSize <= static_cast<int64_t>(PTRDIFF_MAX / 2)) {
      const int64_t sourceLeft = source.GetSize() - source.GetPosition();
      direct = sourceLeft >= 0 &&
               unpackedSize <= LzmaMaxUnpackedSize(sourceLeft + static_cast<int64_t>(sizeof header));
    }
    if (direct) {
      result = DecodeIntoMemory(context, decoder, *memory, static_cast<size_t>(unpackedSize), input.get());
    } else {
      std::unique_ptr<uint8_t[]> output(new uint8_t[kBufferSize]);
      guard.OwnsDictionary = true;
      result = DecodeThroughBuffer(context, decoder, unpackedSize, input.get(), output.get(), alloc, out);
    }
  }
  Finish(context, result);
  if (result == SZ_OK) return lrOk;
  if (result == SZ_ERROR_DATA) return lrDataError;
  throw ELzmaError(result);
}

}  // namespace dlx
