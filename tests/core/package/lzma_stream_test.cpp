#include "core/package/lzma_stream.h"

#include <gtest/gtest.h>

#include "core/package/rc4.h"
#include "tests/core/package/test_streams.h"

using namespace dlx;
using testing_streams::Bytes;
using testing_streams::SampleData;
using testing_streams::TChunkedStream;

namespace {

std::vector<uint8_t> Compress(const std::vector<uint8_t>& data, int level, const TPreprocessor& pre = {}) {
  TDLXMemoryStream source(data.data(), data.size());
  source.SetPosition(0);
  TDLXMemoryStream dest;
  LzmaCompress(source, dest, level, pre);
  return Bytes(dest);
}

TEST(LzmaLevels, PresetsAreTheNormalizedEncoderSettings) {
  struct Row {
    int level;
    uint32_t dict;
    int algo, fb, bt;
    uint32_t mc;
  };
  const Row rows[] = {
      {0, 1u << 14, 0, 32, 0, 16}, {1, 1u << 16, 0, 32, 0, 16},  {2, 1u << 18, 0, 32, 0, 16},
      {3, 1u << 20, 0, 32, 0, 16}, {4, 1u << 22, 0, 32, 0, 16},  {5, 1u << 24, 1, 32, 1, 32},
      {6, 1u << 25, 1, 32, 1, 32}, {7, 1u << 26, 1, 64, 1, 48},  {8, 1u << 26, 1, 64, 1, 48},
      {9, 1u << 26, 1, 64, 1, 48}, {12, 1u << 26, 1, 64, 1, 48}, {-1, 1u << 24, 1, 32, 1, 32},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.level);
    const TLzmaLevelSettings s = LzmaLevelSettings(r.level);
    EXPECT_EQ(s.DictionarySize, r.dict);
    EXPECT_EQ(s.Algorithm, r.algo);
    EXPECT_EQ(s.FastBytes, r.fb);
    EXPECT_EQ(s.BinaryTree, r.bt);
    EXPECT_EQ(s.MatchCycles, r.mc);
    EXPECT_EQ(s.HashBytes, 4);
    EXPECT_EQ(s.Lc, 3);
    EXPECT_EQ(s.Lp, 0);
    EXPECT_EQ(s.Pb, 2);
    EXPECT_EQ(s.Threads, 1);
  }
}

TEST(LzmaFraming, PropertyBytesAtLevelFourAndFive) {
  auto packed = Compress(SampleData(1000), 4);
  ASSERT_GE(packed.size(), 5u);
  EXPECT_EQ(std::vector<uint8_t>(packed.begin(), packed.begin() + 5),
            (std::vector<uint8_t>{0x5D, 0x00, 0x00, 0x40, 0x00}));
  packed = Compress(SampleData(10), 5);
  EXPECT_EQ(std::vector<uint8_t>(packed.begin(), packed.begin() + 5),
            (std::vector<uint8_t>{0x5D, 0x00, 0x00, 0x00, 0x01}));
}

TEST(LzmaRoundTrip, EmptySourceGivesNothingBack) {
  const auto packed = Compress({}, 4);
  EXPECT_GE(packed.size(), 5u);
  TDLXMemoryStream source(packed.data(), packed.size());
  source.SetPosition(0);
  TDLXMemoryStream dest;
  EXPECT_EQ(LzmaDecompress(source, dest, {}, 0), lrOk);
  EXPECT_EQ(dest.Size(), 0u);
}

TEST(LzmaRoundTrip, ExactSizeIntoMemoryAndThroughTheGeneralPath) {
  for (size_t size : {1u, 1000u, 65535u, 65536u, 65537u, 300000u}) {
    SCOPED_TRACE(size);
    const auto data = SampleData(size, static_cast<uint32_t>(size));
    const auto packed = Compress(data, 1);

    TDLXMemoryStream source(packed.data(), packed.size());
    source.SetPosition(0);
    TDLXMemoryStream memory;
    memory.WriteBuffer("xy", 2);  // decoding goes on from the destination's position
    EXPECT_EQ(LzmaDecompress(source, memory, {}, static_cast<int64_t>(size)), lrOk);
    ASSERT_EQ(memory.Size(), size + 2);
    EXPECT_EQ(memory.GetPosition(), static_cast<int64_t>(size + 2));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), memory.Memory() + 2));

    TChunkedStream chunkedSource(packed, 1000);
    TChunkedStream chunkedDest;
    EXPECT_EQ(LzmaDecompress(chunkedSource, chunkedDest, {}, static_cast<int64_t>(size)), lrOk);
    EXPECT_EQ(chunkedDest.Data(), data);

    // Without a size: decode until the data ends.
    TDLXMemoryStream again(packed.data(), packed.size());
    again.SetPosition(0);
    TChunkedStream unsized;
    const TLzmaResult r = LzmaDecompress(again, unsized, {}, -1);
    EXPECT_TRUE(r == lrOk || r == lrDataError);
    ASSERT_GE(unsized.Data().size(), size);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), unsized.Data().begin()));
  }
}

TEST(LzmaRoundTrip, LargerSizeThanTheDataIsADataErrorNotAnException) {
  const auto data = SampleData(5000);
  const auto packed = Compress(data, 4);
  for (bool memoryDest : {true, false}) {
    TDLXMemoryStream source(packed.data(), packed.size());
    source.SetPosition(0);
    TDLXMemoryStream memory;
    TChunkedStream other;
    TDLXStream& dest = memoryDest ? static_cast<TDLXStream&>(memory) : other;
    EXPECT_EQ(LzmaDecompress(source, dest, {}, 6000), lrDataError);
    EXPECT_LT(dest.GetSize(), 6000);
  }
  // Truncated input: also a data error with a short output.
  TDLXMemoryStream cut(packed.data(), packed.size() / 2);
  cut.SetPosition(0);
  TDLXMemoryStream out;
  EXPECT_EQ(LzmaDecompress(cut, out, {}, 5000), lrDataError);
  EXPECT_LT(out.Size(), 5000u);
  // A source that ends inside the property bytes.
  TDLXMemoryStream three(packed.data(), 3);
  three.SetPosition(0);
  TDLXMemoryStream none;
  EXPECT_EQ(LzmaDecompress(three, none, {}, 10), lrDataError);
  EXPECT_EQ(none.Size(), 0u);
}

TEST(LzmaErrors, UnsupportedPropertiesAndRefusedWrites) {
  std::vector<uint8_t> bad = Compress(SampleData(100), 4);
  bad[0] = 225;
  TDLXMemoryStream source(bad.data(), bad.size());
  source.SetPosition(0);
  TDLXMemoryStream dest;
  try {
    LzmaDecompress(source, dest, {}, 100);
    FAIL() << "no exception";
  } catch (const ELzmaError& e) {
    EXPECT_EQ(e.Code(), 4);
    EXPECT_STREQ(e.what(), "LZMA Error (4)");
  }

  const auto data = SampleData(200000);
  TDLXMemoryStream input(data.data(), data.size());
  input.SetPosition(0);
  TChunkedStream refusing({}, 7, 100);
  try {
    LzmaCompress(input, refusing, 2);
    FAIL() << "no exception";
  } catch (const ELzmaError& e) {
    EXPECT_EQ(e.Code(), 9);
  }
  // Refused already at the property bytes.
  input.SetPosition(0);
  TChunkedStream tiny({}, 7, 3);
  EXPECT_THROW(LzmaCompress(input, tiny, 2), ELzmaError);

  // Decompressing into a destination that refuses: the write error, raised.
  const auto packed = Compress(data, 2);
  TDLXMemoryStream packedSource(packed.data(), packed.size());
  packedSource.SetPosition(0);
  TChunkedStream refusingOut({}, 7, 1000);
  try {
    LzmaDecompress(packedSource, refusingOut, {}, static_cast<int64_t>(data.size()));
    FAIL() << "no exception";
  } catch (const ELzmaError& e) {
    EXPECT_EQ(e.Code(), 9);
  }
}

TEST(LzmaErrors, StreamAndPreprocessorExceptionsPassThroughUnchanged) {
  TChunkedStream failing(SampleData(1000), 100);
  failing.FailReads();
  TDLXMemoryStream dest;
  EXPECT_THROW(LzmaCompress(failing, dest, 4), EDLXException);
  EXPECT_THROW(LzmaDecompress(failing, dest, {}, 10), EDLXException);

  const auto data = SampleData(100000);
  TDLXMemoryStream input(data.data(), data.size());
  input.SetPosition(0);
  int calls = 0;
  auto throwing = MakePreprocessor([&](uint8_t*, size_t) {
    if (++calls == 2) throw EDLXAbort();
  });
  EXPECT_THROW(LzmaCompress(input, dest, 1, throwing), EDLXAbort);

  const auto packed = Compress(data, 1);
  TChunkedStream source(packed, 100);
  calls = 0;
  EXPECT_THROW(LzmaDecompress(source, dest, throwing, static_cast<int64_t>(data.size())), EDLXAbort);
}

TEST(LzmaPreprocessor, RC4OnBothSidesRoundTripsWhateverTheBlockSizes) {
  const uint8_t key[4] = {1, 2, 3, 4};
  auto rc4 = [&]() {
    auto context = std::make_shared<TRC4Context>();
    TRC4::Initialize(*context, key, 4);
    return MakePreprocessor([context](uint8_t* p, size_t n) { TRC4::Crypt(*context, p, p, n); });
  };
  const auto data = SampleData(250000, 11);
  const auto plain = Compress(data, 3);
  const auto enciphered = Compress(data, 3, rc4());
  ASSERT_EQ(plain.size(), enciphered.size());
  // The whole stream, property bytes included, is one RC4 stream.
  std::vector<uint8_t> expected = plain;
  TRC4Context whole;
  TRC4::Initialize(whole, key, 4);
  TRC4::Crypt(whole, expected.data(), expected.data(), expected.size());
  EXPECT_EQ(enciphered, expected);

  for (size_t readSize : {1u, 13u, 4096u, 100000u}) {
    TChunkedStream source(enciphered, readSize);
    TDLXMemoryStream dest;
    EXPECT_EQ(LzmaDecompress(source, dest, rc4(), static_cast<int64_t>(data.size())), lrOk);
    EXPECT_EQ(Bytes(dest), data);
  }
}

TEST(LzmaSafety, ForgedDictionarySizeWithAKnownSizeAllocatesOnlyWhatTheOutputNeeds) {
  const auto data = SampleData(3000);
  auto packed = Compress(data, 0);
  // Ask for a 4 GiB dictionary; with the size known the decoder never needs more than 3000 bytes.
  packed[1] = packed[2] = packed[3] = packed[4] = 0xFF;
  TChunkedStream source(packed, 512);
  TChunkedStream dest;
  EXPECT_EQ(LzmaDecompress(source, dest, {}, 3000), lrOk);
  EXPECT_EQ(dest.Data(), data);
}

TEST(LzmaSafety, RatioBoundHoldsForTheMostCompressibleInput) {
  // Zeros are the best case for the encoder; the bound used to reject forged sizes must stay
  // above what a real stream achieves.
  const std::vector<uint8_t> zeros(16 << 20, 0);
  const auto packed = Compress(zeros, 4);
  RecordProperty("ratio", static_cast<int>(zeros.size() / packed.size()));
  EXPECT_LE(static_cast<int64_t>(zeros.size()), LzmaMaxUnpackedSize(static_cast<int64_t>(packed.size())));
  TDLXMemoryStream source(packed.data(), packed.size());
  source.SetPosition(0);
  TDLXMemoryStream dest;
  EXPECT_EQ(LzmaDecompress(source, dest, {}, static_cast<int64_t>(zeros.size())), lrOk);
  EXPECT_EQ(Bytes(dest), zeros);
}

}  // namespace
