#include "core/package/hashes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tests/core/package/test_streams.h"

using namespace dlx;
using testing_streams::TChunkedStream;

namespace {

uint32_t CrcOf(const void* data, size_t size) {
  const TDLXHash& crc = TDLXHashCRC32::Class();
  TDLXHashState state;
  crc.Initialize(state);
  crc.Update(state, data, size);
  return std::get<uint32_t>(crc.Finalize(state));
}

TEST(HashCRC32, KnownValuesOfTheFamilyCrc) {
  EXPECT_EQ(CrcOf("", 0), 0u);
  EXPECT_EQ(CrcOf("abc", 3), 0x2C17398Cu);
  // Leading zero bytes never change the value.
  const uint8_t zeros[1000] = {};
  EXPECT_EQ(CrcOf(zeros, sizeof zeros), 0u);
  std::string padded(37, '\0');
  padded += "abc";
  EXPECT_EQ(CrcOf(padded.data(), padded.size()), 0x2C17398Cu);
  // The empty package's payload: count 0, table length 4.
  const uint8_t payload[8] = {0, 0, 0, 0, 4, 0, 0, 0};
  EXPECT_EQ(CrcOf(payload, sizeof payload), 0x7CF54C05u);
  EXPECT_EQ(TDLXHashCRC32::Table()[1], 0x04C11DB7u);
  EXPECT_EQ(TDLXHashCRC32::Table()[2], 0x09823B6Eu);
}

TEST(HashCRC32, FastPathMatchesBytewiseAtEveryLengthAndAlignment) {
  const auto data = testing_streams::SampleData(4096, 3);
  for (size_t start = 0; start < 9; ++start)
    for (size_t length = 0; length + start <= 300; length += 1)
      ASSERT_EQ(Crc32(data.data() + start, length), Crc32Bytewise(data.data() + start, length))
          << start << " " << length;
  // Continuing a value over a split gives the value of the whole.
  EXPECT_EQ(Crc32(data.data() + 1000, 3096, Crc32(data.data(), 1000)), Crc32(data.data(), 4096));
  EXPECT_EQ(Crc32(data.data(), data.size()), Crc32Bytewise(data.data(), data.size()));
}

TEST(HashCRC32, MemoryStreamAndChunkedReadsAgree) {
  const auto data = testing_streams::SampleData(10000, 5);
  const TDLXHash& crc = TDLXHashCRC32::Class();

  TDLXMemoryStream memory(data.data(), data.size());
  memory.SetPosition(0);
  TDLXHashState a;
  crc.Initialize(a);
  crc.UpdateFromStream(a, memory);

  TChunkedStream chunked(data, 100);
  std::vector<float> reported;
  TDLXHashState b;
  crc.Initialize(b);
  crc.UpdateFromStream(b, chunked, [&](void* sender, float percent) {
    EXPECT_EQ(sender, nullptr);
    reported.push_back(percent);
  });
  EXPECT_EQ(std::get<uint32_t>(crc.Finalize(a)), std::get<uint32_t>(crc.Finalize(b)));
  EXPECT_EQ(a, nullptr);
  ASSERT_FALSE(reported.empty());
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_FLOAT_EQ(reported.back(), 100.0f);
}

TEST(HashCRC32, MemoryStreamInTheMiddleHashesOnlyTheTailAndKeepsThePosition) {
  const auto data = testing_streams::SampleData(5000, 6);
  TDLXMemoryStream memory(data.data(), data.size());
  memory.SetPosition(1234);
  const TDLXHash& crc = TDLXHashCRC32::Class();
  TDLXHashState state;
  crc.Initialize(state);
  crc.UpdateFromStream(state, memory);
  EXPECT_EQ(memory.GetPosition(), 1234);
  EXPECT_EQ(std::get<uint32_t>(crc.Finalize(state)), Crc32(data.data() + 1234, data.size() - 1234));
}

TEST(HashCRC32, StreamShorterThanItsSizeEndsInsteadOfLooping) {
  // Reports a size of 1000 but yields only 10 bytes.
  class TLyingStream : public TChunkedStream {
   public:
    TLyingStream() : TChunkedStream(std::vector<uint8_t>(10, 0x41), 4) {}
    int64_t GetSize() override { return 1000; }
  } stream;
  const TDLXHash& crc = TDLXHashCRC32::Class();
  TDLXHashState state;
  crc.Initialize(state);
  crc.UpdateFromStream(state, stream);
  const std::vector<uint8_t> ten(10, 0x41);
  EXPECT_EQ(std::get<uint32_t>(crc.Finalize(state)), Crc32(ten.data(), ten.size()));
}

TEST(HashCRC32, TextWithoutEncodingIsItsUtf16LEUnits) {
  const TDLXHash& crc = TDLXHashCRC32::Class();
  const String text = u"Install.xml \u00e9\u4e2d";
  EXPECT_EQ(crc.Calculate(text), crc.Calculate(text, TDLXEncoding::Utf16LE()));
  std::vector<uint8_t> units;
  for (Char c : text) {
    units.push_back(static_cast<uint8_t>(c & 0xFF));
    units.push_back(static_cast<uint8_t>(c >> 8));
  }
  EXPECT_EQ(std::get<uint32_t>(crc.Calculate(text)), Crc32(units.data(), units.size()));
  EXPECT_EQ(std::get<uint32_t>(crc.Calculate(u"abc", TDLXEncoding::Utf8())), 0x2C17398Cu);
}

TEST(HashCRC32, ResetStartsOver) {
  const TDLXHash& crc = TDLXHashCRC32::Class();
  TDLXHashState state;
  crc.Initialize(state);
  crc.Update(state, "xyz", 3);
  crc.Reset(state);
  crc.Update(state, "abc", 3);
  EXPECT_EQ(std::get<uint32_t>(crc.Finalize(state)), 0x2C17398Cu);
}

TEST(HashMD5, Rfc1321Vectors) {
  const TDLXHash& md5 = TDLXHashMD5::Class();
  const TDLXEncoding utf8 = TDLXEncoding::Utf8();
  EXPECT_EQ(std::get<String>(md5.Calculate(u"", utf8)), u"d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(std::get<String>(md5.Calculate(u"abc", utf8)), u"900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(std::get<String>(md5.Calculate(u"message digest", utf8)), u"f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(std::get<String>(md5.Calculate(
                u"12345678901234567890123456789012345678901234567890123456789012345678901234567890", utf8)),
            u"57edf4a22be3c955ac49da2e2107b67a");
}

TEST(HashMD5, FileAndStreamAndSplitUpdatesAgree) {
  const auto data = testing_streams::SampleData(70000, 9);
  const auto path = std::filesystem::temp_directory_path() / "zuva_c_md5_test.bin";
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }
  const TDLXHash& md5 = TDLXHashMD5::Class();
  TDLXHashState fromFile, fromPieces;
  md5.Initialize(fromFile);
  md5.UpdateFromFile(fromFile, FromUtf8(path.string()));
  md5.Initialize(fromPieces);
  md5.Update(fromPieces, data.data(), 1);
  md5.Update(fromPieces, std::span<const uint8_t>(data).subspan(1));
  const String a = std::get<String>(md5.Finalize(fromFile));
  EXPECT_EQ(a, std::get<String>(md5.Finalize(fromPieces)));
  EXPECT_EQ(a.size(), 32u);
  std::filesystem::remove(path);

  TDLXHashState missing;
  md5.Initialize(missing);
  EXPECT_THROW(md5.UpdateFromFile(missing, FromUtf8(path.string())), EDLXException);
}

}  // namespace
