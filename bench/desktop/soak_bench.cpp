// The program for an hour with the demo provider speaking and the offline engine translating:
// memory, file descriptors, threads and timers of the program and every process it started, a
// row a minute and the first minutes against the end. GLib's timers live inside the main loop,
// out of sight from here: what they cost shows as wake-ups (voluntary context switches of every
// thread), which a timer left running would make grow; timers of the kernel's (timerfd) are
// counted among the file descriptors. Run inside scripts/headless;
// SOAK_MINUTES sets the length (60 by default).
//
// Goal: all four flat after the first minutes.

#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fakes/temp_dir.h"
#include "program_under_test.h"
#include "support/process_end.h"

namespace quensary {
namespace {

constexpr char kDemo[] = QUENSARY_BINARY_DIR "/tools/caption_demo/quensary-caption-demo";
constexpr char kTranscript[] = QUENSARY_SOURCE_DIR "/tools/caption_demo/sample-transcript.txt";
// The minute from which the figures should stay where they are.
constexpr int kSettledMinute = 2;

struct Sample {
  int processes = 0, fds = 0, threads = 0, timers = 0;
  double rss_mib = 0;
  long cpu_ticks = 0, wakeups = 0;
  std::string rss_by_process;  // "quensary 160, WebKitWebProcess 190" (MiB)
};

Sample Take(pid_t root) {
  Sample sample;
  for (pid_t pid : testing::ProcessTree(root)) {
    const std::string proc = "/proc/" + std::to_string(pid);
    ++sample.processes;
    sample.rss_mib += testing::ResidentKib(pid) / 1024.0;
    std::string name;
    std::getline(std::ifstream(proc + "/comm"), name);
    sample.rss_by_process += (sample.rss_by_process.empty() ? "" : ", ") + name + " " +
                             std::to_string(testing::ResidentKib(pid) / 1024);
    sample.threads += static_cast<int>(testing::KibField(proc + "/status", "Threads:"));
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(proc + "/task", error))
      sample.wakeups += testing::KibField(task.path() / "status", "voluntary_ctxt_switches:");
    for (const auto& fd : std::filesystem::directory_iterator(proc + "/fd", error)) {
      ++sample.fds;
      // Timers the kernel keeps for a process are file descriptors of their own.
      if (std::filesystem::read_symlink(fd.path(), error).string() == "anon_inode:[timerfd]")
        ++sample.timers;
    }
  }
  sample.cpu_ticks = testing::CpuTicks(root);
  return sample;
}

// A row: the sample, with wake-ups and CPU over the minute since `before`.
void PrintRow(const char* label, const Sample& sample, const Sample& before) {
  std::printf(
      "%-10s RSS %6.0f MiB, %3d fds (%2d timerfds), %3d threads in %d processes, %5.0f wake-ups "
      "a second, CPU %5.2f %% of one core\n",
      label, sample.rss_mib, sample.fds, sample.timers, sample.threads, sample.processes,
      static_cast<double>(sample.wakeups - before.wakeups) / 60.0,
      testing::TicksPercent(sample.cpu_ticks - before.cpu_ticks, 60));
  std::fflush(stdout);
}

}  // namespace
}  // namespace quensary

int main(int argc, char** argv) {
  using namespace quensary;
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "soak_bench: no display; run it inside scripts/headless\n");
    return 1;
  }
  if (!testing::SetDesktopAccessibility(true)) {
    std::fprintf(stderr, "soak_bench: accessibility could not be turned on\n");
    return 1;
  }
  const char* length = std::getenv("SOAK_MINUTES");
  const int minutes = length ? std::max(kSettledMinute + 1, std::atoi(length)) : 60;
  auto engine = testing::StartApertium(2737);
  testing::TempDir home;
  testing::BackgroundProcess speaking({kDemo, "--transcript", kTranscript, "--loop"});
  const auto program = testing::StartProgram(testing::ProgramBinary(), home.path(), 2);

  std::printf("Soak: the program with the provider speaking for %d minutes, a row a minute\n",
              minutes);
  Sample previous = Take(program->Pid()), settled, before_settled;
  PrintRow("start", previous, previous);
  for (int minute = 1; minute <= minutes && program->Running(); ++minute) {
    testing::RunLoopFor(std::chrono::minutes(1));
    const Sample now = Take(program->Pid());
    const std::string label = "minute " + std::to_string(minute);
    PrintRow(label.c_str(), now, previous);
    if (minute == kSettledMinute) {
      before_settled = previous;
      settled = now;
    }
    if (minute == minutes) {
      const auto per_second = [](const Sample& a, const Sample& b) {
        return static_cast<double>(b.wakeups - a.wakeups) / 60.0;
      };
      std::printf(
          "From minute %d to the end (goal: flat): RSS %.0f -> %.0f MiB, fds %d -> %d, timerfds "
          "%d -> %d, threads %d -> %d, wake-ups a second %.0f -> %.0f\n",
          kSettledMinute, settled.rss_mib, now.rss_mib, settled.fds, now.fds, settled.timers,
          now.timers, settled.threads, now.threads, per_second(before_settled, settled),
          per_second(previous, now));
      std::printf("RSS by process (MiB): minute %d %s; end %s\n", kSettledMinute,
                  settled.rss_by_process.c_str(), now.rss_by_process.c_str());
    }
    previous = now;
  }
  if (!program->Running())
    std::printf("The program ended early\n");
  std::fflush(stdout);
  engine.reset();
  EndProcess(0);
}
