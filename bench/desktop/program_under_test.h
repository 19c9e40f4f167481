#pragma once

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "process_memory.h"
#include "process_tree.h"
#include "support/child_process.h"
#include "support/loopback_http_server.h"
#include "support/main_loop_wait.h"

namespace quensary::testing {

// The program's binary in this build, or in another build folder (a build of the code before a
// change, measured in the same run).
inline std::string ProgramBinary(const std::string& build_dir = QUENSARY_BINARY_DIR) {
  return build_dir + "/src/quensary";
}

// A home of its own for the program, and no update check.
inline std::vector<std::string> ProgramEnvironment(const std::string& home) {
  return {"XDG_CONFIG_HOME=" + home + "/config", "XDG_DATA_HOME=" + home + "/data",
          "QUENSARY_APPCAST_URL=" + ClosedLoopbackAddress()};
}

// A process and everything it started, read from /proc.
inline std::vector<pid_t> ProcessTree(pid_t root) {
  std::vector<pid_t> all = Descendants(root);
  all.push_back(root);
  return all;
}

// User and system CPU ticks of a process and everything it started.
inline long CpuTicks(pid_t root) {
  long ticks = 0;
  for (pid_t pid : ProcessTree(root)) {
    std::string stat;
    std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/stat"), stat);
    // Fields from the third on follow the last ')'; utime and stime are the 14th and 15th.
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
      if (i >= 14)
        ticks += std::atol(field.c_str());
    }
  }
  return ticks;
}

inline double TicksPercent(long ticks, double seconds) {
  return 100.0 * static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)) / seconds;
}

// The program started from `binary` with a home of its own, waited for until its web processes
// have started and settled.
inline std::unique_ptr<BackgroundProcess> StartProgram(const std::string& binary,
                                                       const std::string& home,
                                                       size_t web_processes) {
  auto program = std::make_unique<BackgroundProcess>(
      std::vector<std::string>{binary}, ProgramEnvironment(home), home + "/output.txt");
  RunLoopUntil(
      [&] { return Descendants(program->Pid(), "WebKitWebProcess").size() >= web_processes; },
      std::chrono::seconds(30));
  RunLoopFor(std::chrono::seconds(8));
  return program;
}

}  // namespace quensary::testing
