// LZMA between two streams. The compressed form is the five property bytes (properties byte,
// 32-bit little-endian dictionary size) followed by raw LZMA data, with no size field and no end
// mark, so a reader must know how many bytes to produce. A preprocessor sees the compressed
// bytes in place between codec and stream: just before each block is written when compressing,
// just after each block is read when decompressing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "lib/exceptions.h"
#include "lib/stream.h"

namespace dlx {

class IPreprocessor {
 public:
  virtual ~IPreprocessor() = default;
  // Transforms count bytes in place.
  virtual void Process(uint8_t* data, size_t count) = 0;
};
// Shared: a call holds its own reference for as long as it runs.
using TPreprocessor = std::shared_ptr<IPreprocessor>;

TPreprocessor MakePreprocessor(std::function<void(uint8_t* data, size_t count)> process);

// The context a compression or decompression call hands to the codec callbacks.
struct TLZMAStreams {
  TPreprocessor DestPreprocessor;
  TDLXStream* DestStream = nullptr;
  TPreprocessor SourcePreprocessor;
  TDLXStream* SourceStream = nullptr;
};

// Result codes the layer can meet.
enum TLzmaResult : int32_t {
  lrOk = 0,
  lrDataError = 1,
  lrOutOfMemory = 2,
  lrUnsupported = 4,
  lrParamError = 5,
  lrWriteError = 9,
};

// "LZMA Error (%d)" with the codec's result code.
class ELzmaError : public EDLXException {
 public:
  explicit ELzmaError(int32_t code);
  int32_t Code() const noexcept { return code_; }

 private:
  int32_t code_;
};

// Encoder settings a level stands for (lc 3, lp 0, pb 2 everywhere), as the codec normalizes
// them. A negative level is taken as 5; levels above 9 behave as 9.
struct TLzmaLevelSettings {
  int32_t Level;
  uint32_t DictionarySize;
  int32_t Lc, Lp, Pb;
  int32_t Algorithm;  // 0 fast, 1 normal
  int32_t FastBytes;
  int32_t BinaryTree;  // 0 hash chain, 1 binary tree
  int32_t HashBytes;
  uint32_t MatchCycles;
  int32_t Threads;
};
TLzmaLevelSettings LzmaLevelSettings(int32_t level);

// Compresses the source from its position until a read returns nothing, writing at the
// destination's position. Raises ELzmaError for every result but success.
void LzmaCompress(TDLXStream& source, TDLXStream& dest, int32_t level,
                  const TPreprocessor& destPreprocessor = {});

// Decompresses from the source's position, writing unpackedSize bytes at the destination's
// position (-1: no size given, decode until the data ends). Returns lrOk or lrDataError: corrupt
// or truncated input is not raised, the caller checks what was produced. Every other result
// raises ELzmaError; stream and preprocessor exceptions pass through unchanged. The source may be
// read beyond the last byte the codec needs.
//
// A memory-stream destination with a known size is decoded straight into its memory (which then
// serves as the dictionary), without a second buffer or copy.
TLzmaResult LzmaDecompress(TDLXStream& source, TDLXStream& dest, const TPreprocessor& sourcePreprocessor,
                           int64_t unpackedSize);

// The most bytes an LZMA stream of compressedSize bytes (property bytes included) can decode to,
// rounded up generously. The range coder spends at least 0.022 bits on every decision and a
// 273-byte match needs 13 decisions, so no stream reaches 7,700 bytes per input byte.
int64_t LzmaMaxUnpackedSize(int64_t compressedSize);

}  // namespace dlx
