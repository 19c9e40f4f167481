#pragma once

#include <chrono>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace quensary {

// A pause longer than this between two lines begins a new session of the transcript.
inline constexpr std::chrono::minutes kSessionGap{30};

// Where the sessions of a transcript begin: the indexes into `ids` (line Ids, oldest first) of
// each session's first line; 0 comes first unless `ids` is empty. A line begins a session when
// more than `kSessionGap` passed since the line before it, or when a run of the program started
// after that line: `run_starts` (ascending) holds the Id of each run's first stored line, and a
// start counts when it lies after the previous line and at or before this one, so it still
// divides the runs once its own line has been deleted. A line whose Id gives no time never
// begins a session by the gap; the next line is measured from the last one that gave a time.
std::vector<size_t> SessionStarts(std::span<const std::string> ids,
                                  std::span<const std::string> run_starts);

}  // namespace quensary
