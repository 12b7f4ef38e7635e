#include "lib/stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "lib/exceptions.h"

using namespace dlx;

TEST(MemoryStream, WritesReadsAndSeeksWithinItsSize) {
  TDLXMemoryStream s;
  s.WriteBuffer("hello world", 11);
  EXPECT_EQ(s.GetSize(), 11);
  EXPECT_EQ(s.GetPosition(), 11);
  EXPECT_EQ(s.Seek(-5, soEnd), 6);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, sizeof buf), 5u);
  EXPECT_STREQ(buf, "world");
  EXPECT_EQ(s.Read(buf, 1), 0u);
  EXPECT_EQ(s.Seek(-100, soCurrent), 0) << "seeking before the start clamps to 0";
}

TEST(MemoryStream, WriteAfterSeekPastEndFillsTheGapWithZeros) {
  TDLXMemoryStream s;
  s.WriteBuffer("ab", 2);
  s.Seek(6, soBeginning);
  s.WriteBuffer("z", 1);
  ASSERT_EQ(s.Size(), 7u);
  EXPECT_EQ(std::memcmp(s.Memory(), "ab\0\0\0\0z", 7), 0);
}

TEST(MemoryStream, ShortReadRaisesTheStreamReadError) {
  TDLXMemoryStream s("abc", 3);
  char buf[4];
  try {
    s.ReadBuffer(buf, 4);
    FAIL() << "no exception";
  } catch (const EDLXStreamReadError& e) {
    EXPECT_EQ(e.Message(), u"Stream read error");
    EXPECT_STREQ(e.what(), "Stream read error");
  }
}

TEST(MemoryStream, CopyFromCopiesACountOrTheRestAndFailsOnAShortSource) {
  std::vector<uint8_t> data(600 * 1024);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
  TDLXMemoryStream source(data.data(), data.size());
  source.SetPosition(10);
  TDLXMemoryStream target;
  EXPECT_EQ(target.CopyFrom(source, 100), 100);
  EXPECT_EQ(std::memcmp(target.Memory(), data.data() + 10, 100), 0);
  EXPECT_EQ(target.CopyFrom(source, -1), static_cast<int64_t>(data.size() - 110));
  ASSERT_EQ(target.Size(), data.size() - 10);
  EXPECT_EQ(std::memcmp(target.Memory(), data.data() + 10, data.size() - 10), 0);
  source.SetPosition(static_cast<int64_t>(data.size()) - 5);
  EXPECT_THROW(target.CopyFrom(source, 6), EDLXStreamReadError);
}

TEST(MemoryStream, SetSizeShrinksAndClampsThePosition) {
  TDLXMemoryStream s("abcdef", 6);
  s.Seek(0, soEnd);
  s.SetSize(2);
  EXPECT_EQ(s.GetPosition(), 2);
  EXPECT_EQ(s.GetSize(), 2);
  TDLXMemoryStream copy;
  s.SetPosition(0);
  copy.LoadFromStream(s);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(copy.Memory()), copy.Size()), "ab");
}
