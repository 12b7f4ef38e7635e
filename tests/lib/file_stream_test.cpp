#include "lib/file_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "lib/exceptions.h"

using namespace dlx;
namespace fs = std::filesystem;

namespace {

class FileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / (std::string("dlx-fstream-") + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  String Path(const std::string& name) const { return (dir_ / name).u16string(); }
  std::string ReadAll(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void WriteAll(const std::string& name, const std::string& content) const {
    std::ofstream out(dir_ / name, std::ios::binary);
    out << content;
  }

  fs::path dir_;
};

std::string Pattern(size_t size, uint32_t seed) {
  std::mt19937 rng(seed);
  std::string s(size, '\0');
  for (auto& c : s) c = static_cast<char>(rng());
  return s;
}

// Accepts only a limited number of bytes, like a full disk.
class LimitedStream : public TDLXMemoryStream {
 public:
  explicit LimitedStream(size_t limit) : limit_(limit) {}
  size_t Write(const void* buffer, size_t count) override {
    const int64_t room = static_cast<int64_t>(limit_) - GetPosition();
    const size_t n = room <= 0 ? 0 : std::min(count, static_cast<size_t>(room));
    return TDLXMemoryStream::Write(buffer, n);
  }

 private:
  size_t limit_;
};

}  // namespace

TEST_F(FileStreamTest, CreateWritesAndReadingModeReadsBack) {
  {
    TDLXFileStream out(Path("a.bin"), fmCreateOutput);
    out.WriteBuffer("hello file", 10);
    EXPECT_EQ(out.GetSize(), 10);
  }
  TDLXFileStream in(Path("a.bin"), fmReadShared);
  EXPECT_EQ(in.GetSize(), 10);
  char buf[16] = {};
  EXPECT_EQ(in.Read(buf, sizeof buf), 10u);
  EXPECT_STREQ(buf, "hello file");
  EXPECT_EQ(in.Read(buf, 1), 0u);
  EXPECT_EQ(in.Seek(-4, soEnd), 6);
  EXPECT_EQ(in.Read(buf, 4), 4u);
  EXPECT_EQ(std::string(buf, 4), "file");
}

TEST_F(FileStreamTest, CreateTruncatesButOpeningKeepsTheContent) {
  WriteAll("t.bin", "0123456789");
  {
    TDLXFileStream s(Path("t.bin"), fmOpenWrite | fmShareExclusive);
    s.WriteBuffer("ab", 2);
  }
  EXPECT_EQ(ReadAll("t.bin"), "ab23456789");
  { TDLXFileStream s(Path("t.bin"), fmCreateTarget); }
  EXPECT_EQ(ReadAll("t.bin"), "");
}

TEST_F(FileStreamTest, OpenFailuresRaiseTheOpenErrorWithNameAndSystemText) {
  const String missing = Path("missing.bin");
  try {
    TDLXFileStream s(missing, fmReadShared);
    FAIL() << "opened a missing file";
  } catch (const EDLXOSError& e) {
    const String prefix = u"Cannot open file \"" + missing + u"\". ";
    ASSERT_GT(e.Message().size(), prefix.size()) << e.what();
    EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix);
    EXPECT_NE(e.Code(), 0u);
  }
  // A folder is not a file, and an access value of 3 or sharing above 4 means nothing.
  EXPECT_THROW(TDLXFileStream(dir_.u16string(), fmReadShared), EDLXOSError);
  WriteAll("x.bin", "x");
  EXPECT_THROW(TDLXFileStream(Path("x.bin"), 0x0003), EDLXOSError);
  EXPECT_THROW(TDLXFileStream(Path("x.bin"), 0x0050), EDLXOSError);
  // Creating in a missing folder fails too.
  EXPECT_THROW(TDLXFileStream(Path("no/such/x.bin"), fmCreate), EDLXOSError);
}

TEST_F(FileStreamTest, SetSizeTruncatesAndExtendsAndKeepsThePositionInside) {
  TDLXFileStream s(Path("s.bin"), fmCreate);
  s.WriteBuffer("0123456789", 10);
  s.SetSize(4);
  EXPECT_EQ(s.GetSize(), 4);
  EXPECT_EQ(s.GetPosition(), 4) << "a position past the new end moves to it";
  s.Seek(1, soBeginning);
  s.SetSize(8);
  EXPECT_EQ(s.GetPosition(), 1);
  EXPECT_EQ(s.GetSize(), 8);
  s.Seek(0, soBeginning);
  char buf[8];
  s.ReadBuffer(buf, 8);
  EXPECT_EQ(std::string(buf, 8), std::string("0123\0\0\0\0", 8));
  EXPECT_THROW(s.Seek(-1, soBeginning), EDLXOSError);
  EXPECT_THROW(s.SetSize(-1), EDLXArgumentOutOfRange);
}

#ifdef _WIN32
TEST_F(FileStreamTest, SharingFollowsTheModeAndCreatingIsAlwaysExclusive) {
  {
    // 0xFF40 holds "share read and write" but creating shares nothing.
    TDLXFileStream created(Path("c.bin"), fmCreateTarget);
    EXPECT_THROW(TDLXFileStream(Path("c.bin"), fmReadShared), EDLXOSError);
  }
  {
    TDLXFileStream reader(Path("c.bin"), fmReadShared);
    TDLXFileStream writer(Path("c.bin"), fmOpenReadWrite | fmShareDenyNone);
    EXPECT_THROW(TDLXFileStream(Path("c.bin"), fmOpenRead | fmShareExclusive), EDLXOSError);
  }
  {
    TDLXFileStream denyWrite(Path("c.bin"), fmOpenRead | fmShareDenyWrite);
    EXPECT_NO_THROW(TDLXFileStream(Path("c.bin"), fmOpenRead | fmShareDenyNone));
    EXPECT_THROW(TDLXFileStream(Path("c.bin"), fmOpenWrite | fmShareDenyNone), EDLXOSError);
  }
}
#endif

TEST_F(FileStreamTest, BufferedStreamMatchesAMemoryModelUnderRandomAccess) {
  // Small windows so that the operations keep crossing them; sizes straddle the buffer size.
  for (const size_t bufferSize : {1024u, 4096u}) {
    const std::string initial = Pattern(20000, 7);
    WriteAll("m.bin", initial);
    TDLXMemoryStream model(initial.data(), initial.size());
    std::mt19937 rng(static_cast<uint32_t>(bufferSize));
    {
      TDLXBufferedStream s(new TDLXFileStream(Path("m.bin"), fmOpenReadWrite), bufferSize, true);
      std::vector<char> a(9000), b(9000);
      for (int step = 0; step < 2000; ++step) {
        const int64_t size = model.GetSize();
        const int64_t pos = static_cast<int64_t>(rng() % static_cast<uint32_t>(size + 1));
        ASSERT_EQ(s.Seek(pos, soBeginning), pos);
        model.Seek(pos, soBeginning);
        const size_t n = rng() % 3 == 0 ? rng() % 9000 : rng() % 300;
        if (rng() % 2) {
          const size_t got = s.Read(a.data(), n);
          ASSERT_EQ(got, model.Read(b.data(), n)) << "step " << step;
          ASSERT_EQ(std::memcmp(a.data(), b.data(), got), 0) << "step " << step;
        } else {
          const std::string data = Pattern(n, static_cast<uint32_t>(step));
          ASSERT_EQ(s.Write(data.data(), n), n);
          model.Write(data.data(), n);
        }
        ASSERT_EQ(s.GetSize(), model.GetSize()) << "step " << step;
        ASSERT_EQ(s.GetPosition(), model.GetPosition()) << "step " << step;
      }
      s.Flush();
    }
    const std::string disk = ReadAll("m.bin");
    ASSERT_EQ(disk.size(), model.Size());
    EXPECT_EQ(std::memcmp(disk.data(), model.Memory(), disk.size()), 0);
  }
}

TEST_F(FileStreamTest, BufferedWritesReachTheFileOnDestructionWithoutFlush) {
  const std::string data = Pattern(700000, 3);
  {
    TDLXBufferedFileStream s(Path("w.bin"), fmCreateTarget);
    for (size_t i = 0; i < data.size(); i += 1000) s.WriteBuffer(data.data() + i, 1000);
  }
  EXPECT_EQ(ReadAll("w.bin"), data);
}

TEST_F(FileStreamTest, BufferedWriteAfterTheEndLeavesTheGapToThePlatform) {
  {
    TDLXBufferedFileStream s(Path("g.bin"), fmCreate);
    EXPECT_EQ(s.Seek(1000000, soBeginning), 0) << "seeks are clamped to the size";
    s.SetSize(1000000);
    EXPECT_EQ(s.Seek(1000000, soBeginning), 1000000);
    s.WriteBuffer("tail", 4);
    EXPECT_EQ(s.GetSize(), 1000004);
  }
  const std::string disk = ReadAll("g.bin");
  ASSERT_EQ(disk.size(), 1000004u);
  EXPECT_EQ(disk.substr(1000000), "tail");
  EXPECT_EQ(disk.find_first_not_of('\0'), 1000000u);
}

TEST_F(FileStreamTest, BufferedSeeksAreClampedAndLargeReadsSeeChangedWindows) {
  WriteAll("r.bin", Pattern(600000, 11));
  TDLXBufferedFileStream s(Path("r.bin"), fmOpenReadWrite);
  EXPECT_EQ(s.Seek(-5, soBeginning), 0);
  EXPECT_EQ(s.Seek(10, soEnd), 600000);
  // Change bytes in the window, then read a range larger than the buffer that covers them.
  s.Seek(300000, soBeginning);
  s.WriteBuffer("CHANGED", 7);
  s.Seek(0, soBeginning);
  std::string all(600000, '\0');
  s.ReadBuffer(all.data(), all.size());
  EXPECT_EQ(all.substr(300000, 7), "CHANGED");
  // A large write replaces what a clean window holds; later small reads must not see old bytes.
  s.Seek(1000, soBeginning);
  char small[8];
  s.ReadBuffer(small, 8);
  const std::string big(300000, 'Z');
  s.Seek(0, soBeginning);
  s.WriteBuffer(big.data(), big.size());
  s.Seek(1000, soBeginning);
  s.ReadBuffer(small, 8);
  EXPECT_EQ(std::string(small, 8), "ZZZZZZZZ");
}

TEST(BufferedStream, SmallBufferSizesMeanTheDefaultAndPositionStartsAtTheStreams) {
  TDLXMemoryStream memory("abcdef", 6);
  memory.Seek(2, soBeginning);
  TDLXBufferedStream s(&memory, 100, false);
  EXPECT_EQ(s.BufferSize(), 262144u);
  EXPECT_EQ(s.GetPosition(), 2);
  char buf[4];
  s.ReadBuffer(buf, 4);
  EXPECT_EQ(std::string(buf, 4), "cdef");
  EXPECT_EQ(TDLXBufferedStream(&memory, 1024, false).BufferSize(), 1024u);
}

TEST(BufferedStream, FlushRaisesWhenTheStreamTakesFewerBytesAndKeepsTheWindowChanged) {
  LimitedStream target(5);
  auto* s = new TDLXBufferedStream(&target, 2048, false);
  s->WriteBuffer("0123456789", 10);
  EXPECT_THROW(s->Flush(), EDLXStreamWriteError);
  EXPECT_THROW(s->Flush(), EDLXStreamWriteError) << "the failed window is still pending";
  EXPECT_NO_THROW(delete s) << "the destructor swallows the failure";
  EXPECT_EQ(target.Size(), 5u);
}

TEST(BufferedStream, SetSizeCutsTheWindowAndTheStream) {
  TDLXMemoryStream memory;
  {
    TDLXBufferedStream s(&memory, 4096, false);
    s.WriteBuffer("0123456789", 10);
    s.SetSize(3);
    EXPECT_EQ(s.GetSize(), 3);
    EXPECT_EQ(s.GetPosition(), 3);
    s.WriteBuffer("xy", 2);
  }
  ASSERT_EQ(memory.Size(), 5u);
  EXPECT_EQ(std::memcmp(memory.Memory(), "012xy", 5), 0);
}
