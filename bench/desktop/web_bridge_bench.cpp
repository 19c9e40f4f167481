// The web bridge in real WebKitGTK pages: the round trip of RunJsAsync (the program's wait for
// every translation), and the memory that engine pages cost. Run inside scripts/headless.
//
// Targets: a median RunJsAsync round trip of 1 ms or less; all of the program's processes
// together at most 350 MiB resident with one engine page and 450 MiB with three.

#include <benchmark/benchmark.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fakes/memory_preferences.h"
#include "median_counters.h"
#include "platform/glib/glib_main_queue.h"
#include "process_memory.h"
#include "process_tree.h"
#include "support/loopback_http_server.h"
#include "support/main_loop_wait.h"
#include "support/web_page_wait.h"
#include "translate/engine_pool.h"
#include "translate/translate_script.h"
#include "web/page_scheme.h"
#include "web/web_engine_page_factory.h"

namespace quensary {
namespace {

using Duration = std::chrono::duration<double, std::milli>;
using testing::RunLoopUntil;

std::shared_ptr<WebObj> page;
double median_plain_ms = 0;
double median_trans_ms = 0;

// One awaited script, timed from the call to the delivery on the main thread.
template <typename Script>
double RunRoundTrips(benchmark::State& state, Script script) {
  std::vector<double> times;
  for (auto _ : state) {
    auto result = std::make_shared<std::optional<std::string>>();
    const auto start = std::chrono::steady_clock::now();
    page->RunJsAsync(script(), [result](std::string text) { *result = std::move(text); });
    while (!result->has_value())
      g_main_context_iteration(nullptr, TRUE);
    times.push_back(Duration(std::chrono::steady_clock::now() - start).count());
    if (result->value().empty()) {
      state.SkipWithError("the page gave no text");
      return 0;
    }
  }
  return ReportMedianMs(state, std::move(times));
}

void BM_RunJsAsyncText(benchmark::State& state) {
  median_plain_ms = RunRoundTrips(state, [] { return std::string("'x'"); });
}
BENCHMARK(BM_RunJsAsyncText)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

// What a translation request sends: the escaped trans call of a caption sentence, answered at
// once by an echo engine.
void BM_RunJsAsyncTransEcho(benchmark::State& state) {
  const std::string script = TranslateScript(
      "So that is why we moved the meeting to Thursday, because `nobody` could make it.", "en",
      "es");
  median_trans_ms = RunRoundTrips(state, [&] { return script; });
}
BENCHMARK(BM_RunJsAsyncTransEcho)->Unit(benchmark::kMillisecond)->MinTime(2.0)->UseRealTime();

struct Memory {
  int processes = 0;
  double rss_mib = 0;
  double pss_mib = 0;
  std::string detail;
};

// This process and every process below it (WebKit's web and network processes).
Memory MeasureProgram() {
  std::vector<pid_t> pids{getpid()};
  for (pid_t pid : testing::Descendants(getpid()))
    pids.push_back(pid);
  Memory memory;
  for (pid_t pid : pids) {
    const long rss = testing::ResidentKib(pid);
    if (rss == 0)
      continue;
    ++memory.processes;
    memory.rss_mib += rss / 1024.0;
    memory.pss_mib += testing::ProportionalKib(pid) / 1024.0;
    char part[96];
    std::snprintf(part, sizeof part, "%s%s %.0f", memory.detail.empty() ? "" : ", ",
                  testing::CommandName(pid).c_str(), rss / 1024.0);
    memory.detail += part;
  }
  return memory;
}

// Opens `count` pages of the offline engine through the request path's factory, waits until
// each has its trans, lets the processes settle, and measures.
std::optional<Memory> MeasureEnginePages(EnginePool& engines, int count) {
  auto profile = std::make_shared<TranslatorProfile>();
  profile->Id = "memory-" + std::to_string(count);
  profile->Cot = count;
  profile->Url = PageAddress("engines/apertium.html");
  engines.RebuildEnginePages(profile);
  for (const auto& engine_page : engines.EnginePageList()) {
    if (!RunLoopUntil(
            [&] { return testing::AwaitScript(*engine_page, "typeof trans") == "function"; },
            std::chrono::seconds(30)))
      return std::nullopt;
  }
  // Web processes of pages dropped earlier end on their own; wait (bounded) for that.
  RunLoopUntil([] { return testing::Descendants(getpid(), "WebKitWebProcess").size() <= 1; },
               std::chrono::seconds(10));
  testing::RunLoopFor(std::chrono::seconds(1));
  return MeasureProgram();
}

}  // namespace
}  // namespace quensary

int main(int argc, char** argv) {
  using namespace quensary;
  benchmark::Initialize(&argc, argv);
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "web_bridge_bench: no display; run it inside scripts/headless\n");
    return 1;
  }

  // Memory first, before the round-trip page exists: only engine pages are open.
  std::optional<Memory> one, three;
  {
    auto engines = std::make_shared<EnginePool>(
        std::make_shared<SettingsStore>(std::make_shared<testing::MemoryPreferences>()),
        std::make_shared<WebEnginePageFactory>(std::make_shared<GlibMainQueue>()),
        std::make_shared<GlibMainQueue>());
    one = MeasureEnginePages(*engines, 1);
    three = MeasureEnginePages(*engines, 3);
  }

  testing::LoopbackHttpServer server;
  server.ServeHtml("/blank.html", "<!DOCTYPE html><title>blank</title>");
  page = testing::OpenLoadedPage(
      server.Url("/blank.html"),
      "window.trans = async (text, source, target) => text + '|' + source + '|' + target;");
  if (!page) {
    std::fprintf(stderr, "web_bridge_bench: the page did not load\n");
    return 1;
  }
  // Every call arms its own deadline timer, which stays in the main context until it fires. At
  // thousands of calls a second, 30 s of them would pile up far beyond what the program ever
  // has (a few requests a second) and the loop would time its own timers instead of the page.
  page->ResultTimeout = std::chrono::milliseconds(100);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf(
      "RunJsAsync round trip, call to delivery on the main thread, page served from "
      "quensary://: median %.3f ms for a text literal, %.3f ms for an echoed trans call "
      "(target <= 1 ms)\n",
      median_plain_ms, median_trans_ms);
  const auto report = [](const char* label, const std::optional<Memory>& memory, int target) {
    if (!memory) {
      std::printf("%s: the engine pages did not load\n", label);
      return;
    }
    std::printf(
        "%s: %d processes, %.0f MiB resident in all (sum of VmRSS, target <= %d MiB), "
        "%.0f MiB proportional (sum of Pss, shared pages split) [%s]\n",
        label, memory->processes, memory->rss_mib, target, memory->pss_mib, memory->detail.c_str());
  };
  std::printf(
      "Memory: this process plus every descendant (WebKit's web and network processes), "
      "with the offline engine page loaded from quensary:// in hidden views, measured after "
      "the pages defined trans and the web process count settled\n");
  report("1 engine page", one, 350);
  report("3 engine pages", three, 450);
  page.reset();
  return 0;
}
