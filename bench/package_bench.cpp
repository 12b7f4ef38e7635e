// Package reading against liblzma, and package size against xz, on a deterministic ~64 MiB
// payload of text, executable-like binary and already-compressed (random) data.
//
// - BM_PackageRead: TSetupPackageReader over the level-9 package in memory (decipher, decode, CRC).
// - BM_LiblzmaRawDecode: liblzma's raw LZMA1 decoder on the same LZMA stream, unenciphered.
// - Sizes: the package at level 9 and `xz --format=lzma -9` of the same payload, printed as
//   counters of BM_Sizes (xz runs once, outside any timing).
#include <benchmark/benchmark.h>
#include <lzma.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/package/lzma_stream.h"
#include "core/package/package.h"
#include "core/package/rc4.h"

using namespace dlx;

namespace {

struct TRandom {
  uint64_t x = 0x2545F4914F6CDD1Dull;
  uint32_t Next() {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return static_cast<uint32_t>(x >> 16);
  }
};

void AppendText(std::vector<uint8_t>& out, size_t size, TRandom& r) {
  static const char* kWords[] = {"the",     "player",   "media",  "library", "setup",  "install",
                                 "version", "folder",   "window", "file",    "audio",  "video",
                                 "stream",  "codec",    "track",  "album",   "artist", "playlist",
                                 "options", "language", "update", "remove",  "user",   "profile",
                                 "of",      "and",      "to",     "in",      "is",     "with"};
  const size_t end = out.size() + size;
  while (out.size() < end) {
    const char* w = kWords[(r.Next() % 30 + r.Next() % 30) / 2];  // skewed word frequencies
    out.insert(out.end(), w, w + std::strlen(w));
    const uint32_t p = r.Next() % 16;
    out.push_back(p == 0 ? '.' : p == 1 ? ',' : p == 2 ? '\n' : ' ');
  }
  out.resize(end);
}

// Instruction-like records: a few frequent opcodes, small immediates, slowly rising addresses.
void AppendBinary(std::vector<uint8_t>& out, size_t size, TRandom& r) {
  static const uint8_t kOps[] = {0x8B, 0x89, 0xE8, 0x48, 0x83, 0xFF, 0x0F, 0x74, 0x75, 0xC3, 0x55, 0x5D};
  const size_t end = out.size() + size;
  uint32_t address = 0x401000;
  while (out.size() < end) {
    out.push_back(kOps[r.Next() % sizeof kOps]);
    const uint32_t kind = r.Next() % 4;
    if (kind == 0) {  // call with a relative target
      address += r.Next() % 64;
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(address >> (8 * i)));
    } else if (kind == 1) {
      out.push_back(static_cast<uint8_t>(0x40 + r.Next() % 8));
      out.push_back(static_cast<uint8_t>(r.Next() % 32 * 4));
    } else {
      out.push_back(static_cast<uint8_t>(0xC0 + r.Next() % 64));
    }
  }
  out.resize(end);
}

void AppendRandom(std::vector<uint8_t>& out, size_t size, TRandom& r) {
  for (size_t i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(r.Next()));
}

struct TFixture {
  std::vector<uint8_t> Payload;  // the entries' data
  std::vector<uint8_t> Package;  // the level-9 package
  std::vector<uint8_t> Lzma;     // the same LZMA stream without the cipher
  int64_t PayloadSize = 0;       // the decoded payload, table included
  int64_t XzSize = -1;

  TFixture() {
    TRandom r;
    AppendText(Payload, 28u << 20, r);
    AppendBinary(Payload, 24u << 20, r);
    AppendRandom(Payload, 12u << 20, r);

    TSetupPackageBuilder builder(SetupPackageKey);
    const size_t part[] = {28u << 20, 24u << 20, 12u << 20};
    const char16_t* names[] = {u"text.txt", u"program.exe", u"media.bin"};
    size_t offset = 0;
    for (int i = 0; i < 3; ++i) {
      TDLXMemoryStream s(Payload.data() + offset, part[i]);
      s.SetPosition(0);
      builder.Add(s, names[i]);
      offset += part[i];
    }
    TDLXMemoryStream out;
    builder.Commit(out, 9);
    Package.assign(out.Memory(), out.Memory() + out.Size());

    TDLXMemoryStream package(Package.data(), Package.size());
    package.SetPosition(0);
    TSetupPackageReader reader(package);
    const auto& full = reader.Payload();
    PayloadSize = static_cast<int64_t>(full.Size());
    // The LZMA stream behind the cipher: the body deciphered with the package key.
    Lzma.assign(Package.begin() + 12, Package.end());
    TRC4Context context;
    TRC4::Initialize(context, builder.KeyBytes);
    TRC4::Crypt(context, Lzma.data(), Lzma.data(), Lzma.size());

    // The same payload (table included) through xz.
    const auto path = std::filesystem::temp_directory_path() / "zuva_c_package_bench.bin";
    {
      std::ofstream f(path, std::ios::binary);
      f.write(reinterpret_cast<const char*>(full.Memory()), static_cast<std::streamsize>(full.Size()));
    }
    const std::string command = "xz --format=lzma -9 -c '" + path.string() + "' | wc -c";
    if (FILE* p = popen(command.c_str(), "r")) {
      long long n = -1;
      if (std::fscanf(p, "%lld", &n) == 1) XzSize = n;
      pclose(p);
    }
    std::filesystem::remove(path);
  }
};

TFixture& Fixture() {
  static TFixture fixture;
  return fixture;
}

void BM_PackageRead(benchmark::State& state) {
  auto& f = Fixture();
  for (auto _ : state) {
    TDLXMemoryStream source(f.Package.data(), f.Package.size());
    source.SetPosition(0);
    TSetupPackageReader reader(source);
    benchmark::DoNotOptimize(reader.Payload().Memory());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * f.PayloadSize);
}
BENCHMARK(BM_PackageRead)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_LiblzmaRawDecode(benchmark::State& state) {
  auto& f = Fixture();
  std::vector<uint8_t> out(static_cast<size_t>(f.PayloadSize));
  for (auto _ : state) {
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], nullptr, f.Lzma.data(), 5) != LZMA_OK) {
      state.SkipWithError("lzma_properties_decode failed");
      break;
    }
    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&strm, filters) != LZMA_OK) {
      state.SkipWithError("lzma_raw_decoder failed");
      break;
    }
    strm.next_in = f.Lzma.data() + 5;
    strm.avail_in = f.Lzma.size() - 5;
    strm.next_out = out.data();
    strm.avail_out = out.size();
    lzma_ret ret = LZMA_OK;
    while (strm.avail_out > 0 && ret == LZMA_OK) ret = lzma_code(&strm, LZMA_RUN);
    lzma_end(&strm);
    free(filters[0].options);
    if (strm.avail_out != 0) {
      state.SkipWithError("liblzma did not produce the payload");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * f.PayloadSize);
}
BENCHMARK(BM_LiblzmaRawDecode)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_Sizes(benchmark::State& state) {
  auto& f = Fixture();
  for (auto _ : state) benchmark::DoNotOptimize(f.Package.size());
  state.counters["payload"] = static_cast<double>(f.PayloadSize);
  state.counters["package_l9"] = static_cast<double>(f.Package.size());
  state.counters["xz_lzma_9"] = static_cast<double>(f.XzSize);
  state.counters["package_vs_xz"] =
      f.XzSize > 0 ? static_cast<double>(f.Package.size()) / static_cast<double>(f.XzSize) : 0.0;
}
BENCHMARK(BM_Sizes)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
