// Reading the uninstall log of a million files: the text parsed into the INI reader, then the
// entries taken from its "Uninstall" section in number order (the removal's first step).
#include <benchmark/benchmark.h>

#include "core/script/uninstall_log.h"
#include "lib/ini_file.h"

namespace {

const dlx::String& LogText() {
  static const dlx::String text = [] {
    constexpr int kEntries = 1000000;
    dlx::String t = u"[Uninstall]\r\nCount=" + dlx::IntToStr(kEntries) + u"\r\n";
    for (int i = 0; i < kEntries; ++i)
      t += dlx::IntToStr(i) + u"=Library\\Album " + dlx::IntToStr(i / 20) + u"\\Track " + dlx::IntToStr(i) +
           u".flac\r\n";
    return t;
  }();
  return text;
}

void BM_UninstallLogMillionEntries(benchmark::State& state) {
  size_t entries = 0;
  for (auto _ : state) {
    dlx::TDLXIniFile log;
    log.LoadFromText(LogText());
    entries = UninstallLogEntries(log, u"Uninstall").size();
    benchmark::DoNotOptimize(entries);
  }
  state.counters["entries"] = static_cast<double>(entries);
}
BENCHMARK(BM_UninstallLogMillionEntries)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
