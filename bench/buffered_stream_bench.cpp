// Sequential reading of a 256 MiB file through TDLXBufferedFileStream and through std::ifstream
// with a 256 KiB buffer, in 4 KiB and 64 KiB reads. Prints MB/s for each and the ratio.
// The file lives in the temporary folder (ZUVA_BENCH_DIR overrides it) and is removed at the end.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "lib/file_stream.h"

namespace fs = std::filesystem;

namespace {

constexpr size_t kFileSize = 256u << 20;

fs::path& FilePath() {
  static fs::path path;
  return path;
}

void CreateFile() {
  const char* dir = std::getenv("ZUVA_BENCH_DIR");
  FilePath() = (dir ? fs::path(dir) : fs::temp_directory_path()) / "zuva-buffered-bench.bin";
  std::ofstream out(FilePath(), std::ios::binary | std::ios::trunc);
  std::vector<char> block(1 << 20);
  std::mt19937 rng(1);
  for (auto& c : block) c = static_cast<char>(rng());
  for (size_t i = 0; i < kFileSize / block.size(); ++i) {
    block[0] = static_cast<char>(i);
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
}

struct Rate {
  double cpu = 0;
  double real = 0;
};

std::map<std::string, Rate>& Rates() {
  static std::map<std::string, Rate> rates;
  return rates;
}

void Record(benchmark::State& state, uint64_t sum) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFileSize);
  // Keeps the reads from being optimized away.
  state.counters["checksum"] = static_cast<double>(sum & 0xFFFF);
}

void BM_BufferedFileStream(benchmark::State& state) {
  const auto chunk = static_cast<size_t>(state.range(0));
  std::vector<char> buffer(chunk);
  uint64_t sum = 0;
  for (auto _ : state) {
    dlx::TDLXBufferedFileStream s(FilePath().u16string(), dlx::fmReadShared);
    size_t total = 0;
    for (size_t got; (got = s.Read(buffer.data(), chunk)) > 0;) {
      sum += static_cast<unsigned char>(buffer[0]);
      total += got;
    }
    if (total != kFileSize) state.SkipWithError("short read");
    benchmark::ClobberMemory();
  }
  Record(state, sum);
}

void BM_Ifstream(benchmark::State& state) {
  const auto chunk = static_cast<size_t>(state.range(0));
  std::vector<char> buffer(chunk);
  std::vector<char> streamBuffer(256 * 1024);
  uint64_t sum = 0;
  for (auto _ : state) {
    std::ifstream in;
    in.rdbuf()->pubsetbuf(streamBuffer.data(), static_cast<std::streamsize>(streamBuffer.size()));
    in.open(FilePath(), std::ios::binary);
    size_t total = 0;
    while (in) {
      in.read(buffer.data(), static_cast<std::streamsize>(chunk));
      const auto got = static_cast<size_t>(in.gcount());
      if (got == 0) break;
      sum += static_cast<unsigned char>(buffer[0]);
      total += got;
    }
    if (total != kFileSize) state.SkipWithError("short read");
    benchmark::ClobberMemory();
  }
  Record(state, sum);
}

BENCHMARK(BM_BufferedFileStream)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Ifstream)->Arg(4096)->Arg(65536)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Collects each run's throughput so that the ratio can be printed at the end.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred || run.run_type != Run::RT_Iteration) continue;
      // The machine is shared: the best repetition is the least disturbed one. The data sits in
      // the page cache, so the process's CPU time (user and system) is the cost of reading; the
      // wall-clock rate is shown beside it.
      const std::string key = run.run_name.function_name + "/" + run.run_name.args;
      const double iterations = static_cast<double>(run.iterations);
      Rate& rate = Rates()[key];
      rate.cpu = std::max(rate.cpu, kFileSize / 1e6 / (run.cpu_accumulated_time / iterations));
      rate.real = std::max(rate.real, kFileSize / 1e6 / (run.real_accumulated_time / iterations));
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  // Repetitions of the four cases run in random order, so that a burst of load from other
  // processes does not fall on one case only. A flag on the command line still wins.
  std::vector<char*> args(argv, argv + argc);
  static char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  CreateFile();
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::error_code ec;
  fs::remove(FilePath(), ec);
  std::printf("\nSequential read of 256 MiB, MB/s (best of 5; CPU time / wall clock):\n");
  for (const char* chunk : {"4096", "65536"}) {
    const Rate buffered = Rates()[std::string("BM_BufferedFileStream/") + chunk];
    const Rate stream = Rates()[std::string("BM_Ifstream/") + chunk];
    std::printf(
        "  %5s-byte reads: TDLXBufferedFileStream %6.0f / %6.0f   std::ifstream %6.0f / %6.0f   "
        "ratio %.2f / %.2f\n",
        chunk, buffered.cpu, buffered.real, stream.cpu, stream.real,
        stream.cpu > 0 ? buffered.cpu / stream.cpu : 0.0,
        stream.real > 0 ? buffered.real / stream.real : 0.0);
  }
  benchmark::Shutdown();
  return 0;
}
