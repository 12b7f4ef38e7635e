#include "lib/log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace dlx;
namespace fs = std::filesystem;

namespace {

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("dlx_log_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = dir_ / "run.log";
  }
  void TearDown() override {
    TDLXLog::Close();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  String FileName() const { return file_.u16string(); }
  std::vector<std::string> Lines() const {
    std::ifstream in(file_, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
  }

  fs::path dir_;
  fs::path file_;
};

// Text after the "timestamp [pid:tid] " prefix, or an empty string when the prefix is malformed.
std::string Body(const std::string& line) {
  static const std::regex prefix(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}Z \[\d+:\d+\] )");
  std::smatch m;
  if (!std::regex_search(line, m, prefix)) return "<malformed: " + line + ">";
  return line.substr(m.length(0));
}

}  // namespace

TEST_F(LogTest, WritesNothingUntilOpenedAndNoFileIsCreated) {
  EXPECT_FALSE(TDLXLog::IsOpen());
  Log(u"lost");
  EXPECT_FALSE(fs::exists(file_));
}

TEST_F(LogTest, EntriesAreTimestampedUtf8LinesAndLineBreaksStayInside) {
  ASSERT_TRUE(TDLXLog::Open(FileName()));
  EXPECT_TRUE(TDLXLog::IsOpen());
  EXPECT_EQ(TDLXLog::FileName(), FileName());
  Log(u"Stra\u00DFe \u0416");
  Log("first\r\nsecond\nthird\rfourth");
  // Flushed per line: the file is complete while the log is still open.
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Body(lines[0]),
            "Stra\xC3\x9F"
            "e \xD0\x96");
  EXPECT_EQ(Body(lines[1]), "first | second | third | fourth");
}

TEST_F(LogTest, ReopeningAppendsAndCloseStopsWriting) {
  ASSERT_TRUE(TDLXLog::Open(FileName()));
  Log(u"one");
  TDLXLog::Close();
  Log(u"while closed");
  ASSERT_TRUE(TDLXLog::Open(FileName()));
  Log(u"two");
  TDLXLog::Close();
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Body(lines[0]), "one");
  EXPECT_EQ(Body(lines[1]), "two");
}

TEST_F(LogTest, AFileThatCannotBeOpenedLeavesTheLogClosed) {
  ASSERT_TRUE(TDLXLog::Open(FileName()));
  // A folder cannot be opened as a file; the previous log is closed, not kept half-open.
  EXPECT_FALSE(TDLXLog::Open(dir_.u16string()));
  EXPECT_FALSE(TDLXLog::IsOpen());
  EXPECT_FALSE(TDLXLog::Open(u""));
  Log(u"nowhere");
  EXPECT_TRUE(Lines().empty());
}

TEST_F(LogTest, LinesFromManyThreadsNeverInterleave) {
  ASSERT_TRUE(TDLXLog::Open(FileName()));
  constexpr int kThreads = 4, kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i)
        Log("thread " + std::to_string(t) + " line " + std::to_string(i) + " " + std::string(100, 'x'));
    });
  for (auto& th : threads) th.join();
  auto lines = Lines();
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
  std::vector<int> next(kThreads, 0);
  const std::regex body(R"(^thread (\d) line (\d+) x{100}$)");
  for (const auto& line : lines) {
    std::smatch m;
    const std::string b = Body(line);
    ASSERT_TRUE(std::regex_match(b, m, body)) << line;
    const int t = std::stoi(m[1]), i = std::stoi(m[2]);
    EXPECT_EQ(i, next[t]++) << "lines of one thread keep their order";
  }
}
