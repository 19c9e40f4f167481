#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quensary::testing {

// The processes below this one (children, their children, ...), read from /proc.
std::vector<pid_t> Descendants(pid_t root);

// Those descendants of this process whose command name (as in /proc/<pid>/comm) is `name`.
std::vector<pid_t> DescendantsNamed(const std::string& name);

// The command name of a process, empty when it is gone.
std::string CommandName(pid_t pid);

// Resident memory of a process in KiB (VmRSS), 0 when it is gone.
long ResidentKib(pid_t pid);

// Proportional resident memory of a process in KiB (Pss: shared pages divided among the
// processes that share them), 0 when it is gone.
long ProportionalKib(pid_t pid);

}  // namespace quensary::testing
