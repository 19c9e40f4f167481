// One history save of a finished line, opening and closing the file as every operation does.
// Target: median at most 2 ms.

#include <benchmark/benchmark.h>

#include <cstdio>

#include "fakes/temp_dir.h"
#include "history/sqlite_helper.h"

namespace {

using namespace quensary;

void BM_HistorySave(benchmark::State& state) {
  testing::TempDir dir;
  SQLiteHelper history(dir.path());
  history.LatestLines();  // the table exists before timing starts
  int n = 0;
  for (auto _ : state) {
    char id[40];
    std::snprintf(id, sizeof id, "2026-03-14 09:%02d:%02d.%06d", n / 60000 % 60, n / 1000 % 60,
                  n % 1000000);
    ++n;
    history.SaveLine(CaptionLine(id, "A finished sentence of the captions, saved as it ends.", true,
                                 "Una frase terminada de los subtítulos."));
  }
}
BENCHMARK(BM_HistorySave)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
