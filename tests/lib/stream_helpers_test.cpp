#include "lib/stream_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "lib/exceptions.h"

using namespace dlx;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(const TDLXMemoryStream& s) {
  return std::vector<uint8_t>(s.Memory(), s.Memory() + s.Size());
}

}  // namespace

TEST(StreamHelpers, WriteTheLittleEndianLayoutsOfTheBinaryFormats) {
  TDLXMemoryStream s;
  WriteUtf16String(s, u"A\u20AC");
  WriteByteString(s, "xyz");
  WriteInt32(s, -2);
  WriteByteOrderMark(s);
  const std::vector<uint8_t> expected = {0x02, 0x00, 0x41, 0x00, 0xAC, 0x20,  // 2 units
                                         0x03, 0x00, 'x',  'y',  'z',         // 3 bytes
                                         0xFE, 0xFF, 0xFF, 0xFF,              // -2
                                         0xFF, 0xFE};
  EXPECT_EQ(Bytes(s), expected);
}

TEST(StreamHelpers, ReadBackWhatWasWrittenIncludingEmptyAndLongestTexts) {
  TDLXMemoryStream s;
  const String longest(0xFFFF, u'\xD7FF');
  const std::string bytes("a\0b", 3);
  WriteUtf16String(s, u"");
  WriteUtf16String(s, longest);
  WriteByteString(s, bytes);
  WriteInt32(s, INT32_MIN);
  WriteInt32(s, 0x12345678);
  s.Seek(0, soBeginning);
  EXPECT_EQ(ReadUtf16String(s), u"");
  EXPECT_EQ(ReadUtf16String(s), longest);
  EXPECT_EQ(ReadByteString(s), bytes);
  EXPECT_EQ(ReadInt32(s), INT32_MIN);
  EXPECT_EQ(ReadInt32(s), 0x12345678);
  EXPECT_EQ(s.GetPosition(), s.GetSize());
}

TEST(StreamHelpers, OverlongTextsAreRefusedNotCut) {
  TDLXMemoryStream s;
  EXPECT_THROW(WriteUtf16String(s, String(0x10000, u'a')), EDLXArgumentOutOfRange);
  EXPECT_THROW(WriteByteString(s, std::string(0x10000, 'a')), EDLXArgumentOutOfRange);
  EXPECT_EQ(s.Size(), 0u);
}

TEST(StreamHelpers, TruncatedFieldsRaiseTheReadError) {
  {
    TDLXMemoryStream s(
        "\x05\x00"
        "a\x00",
        4);  // five units announced, one present
    EXPECT_THROW(ReadUtf16String(s), EDLXStreamReadError);
  }
  {
    TDLXMemoryStream s(
        "\x02\x00"
        "a",
        3);
    EXPECT_THROW(ReadByteString(s), EDLXStreamReadError);
  }
  {
    TDLXMemoryStream s("abc", 3);
    EXPECT_THROW(ReadInt32(s), EDLXStreamReadError);
  }
  {
    TDLXMemoryStream s("\x01", 1);
    EXPECT_THROW(ReadUInt16(s), EDLXStreamReadError);
  }
}

TEST(StreamHelpers, ByteOrderMarkIsConsumedOnlyWhenPresent) {
  TDLXMemoryStream marked("\xFF\xFEz", 3);
  EXPECT_TRUE(ReadByteOrderMark(marked));
  EXPECT_EQ(marked.GetPosition(), 2);
  TDLXMemoryStream other("\xFE\xFFz", 3);
  EXPECT_FALSE(ReadByteOrderMark(other));
  EXPECT_EQ(other.GetPosition(), 0);
  TDLXMemoryStream shortStream("\xFF", 1);
  EXPECT_FALSE(ReadByteOrderMark(shortStream));
  EXPECT_EQ(shortStream.GetPosition(), 0);
}

TEST(StreamHelpers, FileOpenersReturnNullInsteadOfRaising) {
  const fs::path dir = fs::temp_directory_path() / "dlx-stream-helpers";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const String name = (dir / "f.bin").u16string();
  EXPECT_EQ(OpenFileForReading(name), nullptr);
  EXPECT_EQ(CreateFileForWriting((dir / "missing" / "f.bin").u16string()), nullptr);
  {
    auto out = CreateFileForWriting(name);
    ASSERT_NE(out, nullptr);
    WriteUtf16String(*out, u"saved");
    out->Flush();
  }
  {
    auto in = OpenFileForReading(name);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(ReadUtf16String(*in), u"saved");
  }
  fs::remove_all(dir);
}
