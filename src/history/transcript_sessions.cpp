#include "history/transcript_sessions.h"

#include <optional>

#include "history/line_time.h"

namespace quensary {

std::vector<size_t> SessionStarts(std::span<const std::string> ids,
                                  std::span<const std::string> run_starts) {
  std::vector<size_t> starts;
  if (ids.empty())
    return starts;
  starts.push_back(0);
  size_t next_run = 0;
  while (next_run < run_starts.size() && run_starts[next_run] <= ids[0])
    ++next_run;
  std::optional<std::chrono::microseconds> previous_time = LineIdTime(ids[0]);
  for (size_t i = 1; i < ids.size(); ++i) {
    // Starts at or before the previous line were passed over already.
    bool begins = false;
    while (next_run < run_starts.size() && run_starts[next_run] <= ids[i]) {
      begins = true;
      ++next_run;
    }
    const auto time = LineIdTime(ids[i]);
    if (time && previous_time && *time - *previous_time > kSessionGap)
      begins = true;
    if (begins)
      starts.push_back(i);
    if (time)
      previous_time = time;
  }
  return starts;
}

}  // namespace quensary
