// CRC-32 of the package layer over a 64 MiB buffer: the eight-table loop the reader uses, and the
// byte-at-a-time table loop it must agree with.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "core/package/hashes.h"

namespace {

const std::vector<uint8_t>& Buffer() {
  static const std::vector<uint8_t> buffer = [] {
    std::vector<uint8_t> b(64u << 20);
    uint64_t x = 0x9E3779B97F4A7C15ull;
    for (auto& v : b) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      v = static_cast<uint8_t>(x);
    }
    return b;
  }();
  return buffer;
}

void BM_Crc32(benchmark::State& state) {
  const auto& b = Buffer();
  for (auto _ : state) benchmark::DoNotOptimize(dlx::Crc32(b.data(), b.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(b.size()));
}
BENCHMARK(BM_Crc32)->Unit(benchmark::kMillisecond);

void BM_Crc32Bytewise(benchmark::State& state) {
  const auto& b = Buffer();
  for (auto _ : state) benchmark::DoNotOptimize(dlx::Crc32Bytewise(b.data(), b.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(b.size()));
}
BENCHMARK(BM_Crc32Bytewise)->Unit(benchmark::kMillisecond);

void BM_Crc32ThroughHashClass(benchmark::State& state) {
  const auto& b = Buffer();
  dlx::TDLXMemoryStream stream(b.data(), b.size());
  const dlx::TDLXHash& crc = dlx::TDLXHashCRC32::Class();
  for (auto _ : state) {
    stream.SetPosition(0);
    dlx::TDLXHashState s;
    crc.Initialize(s);
    crc.UpdateFromStream(s, stream);
    benchmark::DoNotOptimize(crc.Finalize(s));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(b.size()));
}
BENCHMARK(BM_Crc32ThroughHashClass)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
