// Caption latency of the two caption sources in one run, with the demo provider showing its
// captions in its window and pushing them on the session bus as LiveCaptions does: from the
// provider changing its bottom row to the line list publishing the change (the lines-changed
// event). The pushed stream wakes the worker at once; the caption window is read by the fixed
// 0.5 s poll. Run inside scripts/headless; it takes about a minute.
//
// Goal: the stream's p95 <= 60 ms.

#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "capture/language_source.h"
#include "fakes/memory_preferences.h"
#include "fakes/temp_dir.h"
#include "pipeline/caption_source_switch.h"
#include "pipeline/caption_worker.h"
#include "platform/atspi/atspi_accessibility.h"
#include "platform/diagnostics.h"
#include "platform/glib/glib_main_queue.h"
#include "platform/glib/live_captions_stream.h"
#include "spread.h"
#include "support/adapter_names.h"
#include "support/child_process.h"
#include "support/literal_vault.h"
#include "support/main_loop_wait.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

using json = nlohmann::json;

constexpr char kDemo[] = QUENSARY_BINARY_DIR "/tools/caption_demo/quensary-caption-demo";
constexpr char kTranscript[] = QUENSARY_SOURCE_DIR "/tools/caption_demo/sample-transcript.txt";

struct Published {
  double at;
  std::string newest;  // the newest line's original text
};

// One source, forced, for `seconds` of speech.
std::vector<double> Measure(const char* mode, int seconds) {
  testing::TempDir dir;
  LnsCenter bus;
  std::mutex mutex;
  std::vector<Published> published;
  bus.Subscribe(RevealText(Sealed::EventLinesChanged), false, [&](const LnsMessage& message) {
    const double at = WallMs();
    const auto lines = json::parse(message.str1, nullptr, false);
    if (!lines.is_array() || lines.empty())
      return;
    std::lock_guard lock(mutex);
    published.push_back({at, lines.back().value("Ori", "")});
  });
  const auto clock = std::make_shared<SystemClock>();
  auto settings = std::make_shared<SettingsStore>(std::make_shared<testing::MemoryPreferences>());
  settings->SetCaptionSource(mode);
  auto lines =
      std::make_shared<CaptionLines>(bus, std::make_shared<SQLiteHelper>(dir.path()), clock);
  auto accessibility = std::make_shared<AtspiAccessibility>();
  auto stream = std::make_shared<LiveCaptionsStream>(nullptr, LiveCaptionsBusNames(), clock);
  auto sources = std::make_shared<CaptionSourceSwitch>(
      [accessibility] { return LanguageSource::ReadCaption(*accessibility); }, stream, settings,
      clock);
  auto worker = std::make_shared<CaptionWorker>(
      std::make_unique<SentenceTracker>([sources] { return sources->ReadText(); }, clock), lines,
      std::make_shared<GlibMainQueue>());
  sources->WakeOnStreamText(worker);

  const std::string report = dir.path() + "/report.txt";
  {
    testing::BackgroundProcess demo({kDemo, "--transcript", kTranscript, "--loop", "--report",
                                     "--dbus-stream", "--word-ms", "150", "--pause-ms", "700"},
                                    {}, report);
    worker->Start();
    testing::RunLoopFor(std::chrono::seconds(seconds));
  }
  worker.reset();
  bus.WaitIdle();

  std::vector<double> latencies;
  std::ifstream in(report);
  for (std::string line; std::getline(in, line);) {
    const auto space = line.find(' ');
    if (space == std::string::npos)
      continue;
    const double at = std::atof(line.substr(0, space).c_str());
    const std::string text = line.substr(space + 1);
    if (text.find(' ') == std::string::npos)
      continue;  // a row's first word may also begin the row before it
    std::lock_guard lock(mutex);
    const auto shown = std::find_if(published.begin(), published.end(), [&](const Published& p) {
      return p.at >= at && p.newest.rfind(text, 0) == 0;
    });
    if (shown == published.end())
      continue;
    latencies.push_back(shown->at - at);
  }
  return latencies;
}

void Print(const char* what, const std::vector<double>& latencies, const char* goal) {
  const Spread spread = SpreadOf(latencies);
  std::printf("%s: %zu changes, p50 %.1f ms, p95 %.1f ms%s\n", what, spread.samples, spread.p50,
              spread.p95, goal);
}

}  // namespace
}  // namespace quensary

int main(int argc, char** argv) {
  using namespace quensary;
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "text_stream_bench: no display; run it inside scripts/headless\n");
    return 1;
  }
  testing::SetDesktopAccessibility(true);
  SetDiagnosticSink([](std::string_view) {});  // the finished rows are not figures
  std::printf("Caption latency, provider's row change to the line list publishing it:\n");
  Print("  pushed text stream (worker woken per signal, 50 ms floor)", Measure("stream", 30),
        " (goal p95 <= 60 ms)");
  Print("  caption window through accessibility (fixed 0.5 s poll)", Measure("accessibility", 30),
        "");
  return 0;
}
