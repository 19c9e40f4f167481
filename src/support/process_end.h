#pragma once

#include <functional>

namespace quensary {

// Work that must be finished before the process ends, such as the history's queued rows.
// Registered once at start-up; any thread.
void AtProcessEnd(std::function<void()> finish);

// Ends the process with `status`: runs what was registered, in order, flushes standard output
// and leaves without running any static destructor. The caption worker, the bus and the history
// may still be at work; they must never meet objects half destroyed.
[[noreturn]] void EndProcess(int status);

}  // namespace quensary
