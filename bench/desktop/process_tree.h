#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace quensary::testing {

// The command name of a process (as the kernel keeps it: 15 bytes), empty when it is gone.
inline std::string CommandName(pid_t pid) {
  std::string name;
  std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), name);
  return name;
}

// The processes below `root` (children, their children, ...) whose command name starts like
// `name`, or all of them for an empty name; read from /proc.
inline std::vector<pid_t> Descendants(pid_t root, const std::string& name = "") {
  std::multimap<pid_t, pid_t> children;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string pid = entry.path().filename();
    if (pid.find_first_not_of("0123456789") != std::string::npos)
      continue;
    std::string line;
    std::getline(std::ifstream(entry.path() / "stat"), line);
    // The name in the second field may hold spaces and parentheses: the rest follows the last ')'.
    std::istringstream fields(line.substr(line.rfind(')') + 1));
    char state = 0;
    pid_t parent = 0;
    if (line.find(')') != std::string::npos && fields >> state >> parent)
      children.emplace(parent, std::stoi(pid));
  }
  std::vector<pid_t> found;
  for (std::vector<pid_t> queue{root}; !queue.empty();) {
    const auto [first, last] = children.equal_range(queue.back());
    queue.pop_back();
    for (auto it = first; it != last; ++it) {
      queue.push_back(it->second);
      if (name.empty() || CommandName(it->second) == name.substr(0, 15))
        found.push_back(it->second);
    }
  }
  return found;
}

}  // namespace quensary::testing
