#include "support/process_tree.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

namespace quensary::testing {
namespace {

// The parent of every process now running. The command name in /proc/<pid>/stat sits in
// parentheses and may itself hold spaces or parentheses, so the fields are read after the last ')'.
std::multimap<pid_t, pid_t> ChildrenByParent() {
  std::multimap<pid_t, pid_t> children;
  DIR* proc = opendir("/proc");
  if (!proc)
    return children;
  while (dirent* entry = readdir(proc)) {
    char* end = nullptr;
    const long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0')
      continue;
    std::ifstream stat("/proc/" + std::string(entry->d_name) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
      continue;
    const auto close = line.rfind(')');
    if (close == std::string::npos)
      continue;
    std::istringstream fields(line.substr(close + 1));
    char state = 0;
    pid_t parent = 0;
    if (fields >> state >> parent)
      children.emplace(parent, static_cast<pid_t>(pid));
  }
  closedir(proc);
  return children;
}

// A "<field>: <n> kB" line of a /proc file, in KiB; 0 when the file or the line is missing.
long KibField(const std::string& path, const std::string& field) {
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind(field, 0) == 0)
      return std::strtol(line.c_str() + field.size(), nullptr, 10);
  }
  return 0;
}

}  // namespace

std::vector<pid_t> Descendants(pid_t root) {
  const auto children = ChildrenByParent();
  std::vector<pid_t> found;
  std::vector<pid_t> queue{root};
  while (!queue.empty()) {
    const pid_t parent = queue.back();
    queue.pop_back();
    const auto [first, last] = children.equal_range(parent);
    for (auto it = first; it != last; ++it) {
      found.push_back(it->second);
      queue.push_back(it->second);
    }
  }
  return found;
}

std::vector<pid_t> DescendantsNamed(const std::string& name) {
  std::vector<pid_t> named;
  for (pid_t pid : Descendants(getpid())) {
    // The kernel keeps only the first 15 bytes of a command name.
    if (CommandName(pid) == name.substr(0, 15))
      named.push_back(pid);
  }
  return named;
}

std::string CommandName(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

long ResidentKib(pid_t pid) {
  return KibField("/proc/" + std::to_string(pid) + "/status", "VmRSS:");
}

long ProportionalKib(pid_t pid) {
  return KibField("/proc/" + std::to_string(pid) + "/smaps_rollup", "Pss:");
}

}  // namespace quensary::testing
