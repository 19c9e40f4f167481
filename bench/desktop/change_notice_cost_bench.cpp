// What the caption provider's change notices cost the rest of the desktop. The AT-SPI registry
// passes every event registration on to every accessible application: each toolkit bridge then
// hooks its toolkit's signals and sends the events, whoever they are for. This measures a busy GTK
// application that is not the provider (the demo, in the taskbar, changing a label every 20 ms
// among 300 other widgets) without a registration and with Quensary's (watching the demo provider
// beside it), in alternating rounds of one run. Run inside scripts/headless; it takes about two
// minutes.

#include <gtk/gtk.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "capture/language_source.h"
#include "platform/atspi/atspi_accessibility.h"
#include "support/child_process.h"
#include "support/main_loop_wait.h"

namespace quensary {
namespace {

constexpr char kDemo[] = QUENSARY_BINARY_DIR "/tools/caption_demo/quensary-caption-demo";
constexpr char kTranscript[] = QUENSARY_SOURCE_DIR "/tools/caption_demo/sample-transcript.txt";
constexpr auto kMeasured = std::chrono::seconds(10);

long CpuTicks(pid_t pid) {
  std::string stat;
  std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/stat"), stat);
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  long ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14 || i == 15)
      ticks += std::atol(field.c_str());
  }
  return ticks;
}

double CpuPercent(pid_t pid) {
  const long before = CpuTicks(pid);
  testing::RunLoopFor(kMeasured);
  return 100.0 * static_cast<double>(CpuTicks(pid) - before) /
         static_cast<double>(sysconf(_SC_CLK_TCK)) / static_cast<double>(kMeasured.count());
}

}  // namespace
}  // namespace quensary

int main(int argc, char** argv) {
  using namespace quensary;
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "change_notice_cost_bench: no display; run it inside scripts/headless\n");
    return 1;
  }
  testing::SetDesktopAccessibility(true);
  testing::BackgroundProcess provider({kDemo, "--transcript", kTranscript, "--loop"});
  testing::BackgroundProcess busy({kDemo, "--transcript", kTranscript, "--loop", "--regular",
                                   "--word-ms", "20", "--pause-ms", "0", "--extra-widgets", "300"});
  testing::RunLoopFor(std::chrono::seconds(3));
  // Rounds of each, so that what else the machine does weighs on both alike.
  std::vector<double> without, with;
  for (int round = 0; round < 3; ++round) {
    without.push_back(CpuPercent(busy.Pid()));
    // Read as the worker does until the provider is watched (it is after kSettleTime).
    auto accessibility = std::make_shared<AtspiAccessibility>();
    const auto read = LanguageSource::CaptionTextSource(accessibility);
    const auto until = std::chrono::steady_clock::now() + AtspiAccessibility::kSettleTime +
                       std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < until) {
      read();
      testing::RunLoopFor(std::chrono::milliseconds(500));
    }
    with.push_back(CpuPercent(busy.Pid()));
  }
  const auto median = [](std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  std::printf(
      "CPU of a busy GTK application beside the caption provider (a label changed every 20 ms, "
      "300 other widgets), median of 3 rounds of %lld s, in %% of one core: without Quensary's "
      "registration %.2f %% (%.2f, %.2f, %.2f); with it %.2f %% (%.2f, %.2f, %.2f)\n",
      static_cast<long long>(kMeasured.count()), median(without), without[0], without[1],
      without[2], median(with), with[0], with[1], with[2]);
  return 0;
}
