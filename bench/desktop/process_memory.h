#pragma once

#include <sys/types.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace quensary::testing {

// A "<field>: <n> kB" line of a /proc file, in KiB; 0 when the file or the line is missing.
inline long KibField(const std::string& path, const std::string& field) {
  std::ifstream file(path);
  for (std::string line; std::getline(file, line);) {
    if (line.rfind(field, 0) == 0)
      return std::strtol(line.c_str() + field.size(), nullptr, 10);
  }
  return 0;
}

// Resident memory of a process in KiB (VmRSS), 0 when it is gone.
inline long ResidentKib(pid_t pid) {
  return KibField("/proc/" + std::to_string(pid) + "/status", "VmRSS:");
}

// Proportional resident memory in KiB (shared pages divided among their sharers), 0 when gone.
inline long ProportionalKib(pid_t pid) {
  return KibField("/proc/" + std::to_string(pid) + "/smaps_rollup", "Pss:");
}

}  // namespace quensary::testing
