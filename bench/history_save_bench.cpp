// One history save of a finished line on the history's thread, opening and closing the file as
// every operation does, until it is on disk. Target: median at most 2 ms.

#include <benchmark/benchmark.h>

#include <cstdio>

#include "fakes/temp_dir.h"
#include "history/sqlite_helper.h"

namespace {

using namespace quensary;

void BM_HistorySave(benchmark::State& state) {
  testing::TempDir dir;
  SQLiteHelper history(dir.path());
  history.SaveLine(CaptionLine("0", "", true, ""));  // the table exists before timing starts
  history.Flush(std::chrono::seconds(5));
  int n = 0;
  for (auto _ : state) {
    char id[40];
    std::snprintf(id, sizeof id, "2026-03-14 09:%02d:%02d.%06d", n / 60000 % 60, n / 1000 % 60,
                  n % 1000000);
    ++n;
    history.SaveLine(CaptionLine(id, "A finished sentence of the captions, saved as it ends.", true,
                                 "Una frase terminada de los subtítulos."));
    history.Flush(std::chrono::seconds(5));
  }
}
BENCHMARK(BM_HistorySave)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
