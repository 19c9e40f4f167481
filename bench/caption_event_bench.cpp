// One caption event on the worker thread: PollCaption, then UpsertLine (which publishes the whole
// list) with 70 lines in the list. The event is an open line, so no history save is included.
// Target: median at most 100 us.

#include <benchmark/benchmark.h>

#include "capture/caption_separator.h"
#include "fakes/temp_dir.h"
#include "fakes/test_clock.h"
#include "pipeline/caption_lines.h"
#include "pipeline/sentence_tracker.h"

namespace {

using namespace quensary;

std::string Sentence(int i) {
  return "This is caption sentence number " + std::to_string(i) +
         ", about as long as people speak in one breath before a pause.";
}

void BM_CaptionEvent(benchmark::State& state) {
  testing::TempDir dir;
  LnsCenter bus;
  auto clock = std::make_shared<testing::TestClock>();
  auto history = std::make_shared<SQLiteHelper>(dir.path());
  CaptionLines lines(bus, history, clock);
  {
    auto held = lines.LineLock();
    auto& list = lines.LineList(held);
    for (int i = 0; i < 69; ++i) {
      list.push_back(std::make_shared<CaptionLine>(
          "2026-03-14 09:00:" + std::to_string(10 + i / 10) + "." + std::to_string(100000 + i),
          Sentence(i), true, "Esta es la frase de subtítulo número " + std::to_string(i) + "."));
    }
  }
  // The provider shows three rows; the bottom one grows on every tick.
  const std::string heart(CaptionSeparator);
  const std::string upper = Sentence(67) + heart + Sentence(68) + heart;
  std::string bottom = "And then";
  std::string shown;
  SentenceTracker tracker([&] { return shown; }, clock);
  shown = upper + bottom;
  tracker.PollCaption();  // reports the pushed-up row, which the list already holds
  {
    const auto event = tracker.PollCaption();  // the bottom row opens the 70th line
    auto held = lines.LineLock();
    lines.UpsertLine(held, event->text, event->finished);
  }

  int tick = 0;
  for (auto _ : state) {
    state.PauseTiming();
    bottom = (++tick % 2) ? "And then we went on" : "And then";
    shown = upper + bottom;
    clock->Advance(std::chrono::milliseconds(500));
    state.ResumeTiming();

    const auto event = tracker.PollCaption();
    auto held = lines.LineLock();
    benchmark::DoNotOptimize(lines.UpsertLine(held, event->text, event->finished));
  }
  auto held = lines.LineLock();
  if (lines.LineList(held).size() != 70)
    state.SkipWithError("the list did not hold 70 lines");
  bus.WaitIdle();
}
BENCHMARK(BM_CaptionEvent)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// The JSON text of the same 70 lines alone, the larger part of a publication.
void BM_CaptionLinesJson(benchmark::State& state) {
  std::vector<CaptionLinePtr> list;
  for (int i = 0; i < 70; ++i) {
    list.push_back(std::make_shared<CaptionLine>(
        "2026-03-14 09:00:" + std::to_string(10 + i / 10) + "." + std::to_string(100000 + i),
        Sentence(i), true, "Esta es la frase de subtítulo número " + std::to_string(i) + "."));
  }
  for (auto _ : state)
    benchmark::DoNotOptimize(CaptionLinesJson(list));
}
BENCHMARK(BM_CaptionLinesJson)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
