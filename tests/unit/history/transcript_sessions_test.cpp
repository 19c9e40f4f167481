#include "history/transcript_sessions.h"

#include <gtest/gtest.h>

namespace quensary {
namespace {

// Ids of 14 March 2026 from their clock time, or whole Ids as given.
std::vector<std::string> Ids(std::vector<std::string> texts) {
  for (auto& text : texts)
    text = text.size() < 16 ? "2026-03-14 " + text : text;
  return texts;
}

TEST(SessionStarts, APauseOfMoreThanThirtyMinutesOrANewRunBeginsASession) {
  const struct {
    const char* why;
    std::vector<std::string> ids;
    std::vector<size_t> starts;
    std::vector<std::string> run_starts = {};
  } cases[] = {
      {"no lines", {}, {}, Ids({"09:00:00.000000"})},
      {"exactly thirty minutes", Ids({"09:00:00.000000", "09:30:00.000000"}), {0}},
      {"just over thirty minutes", Ids({"09:00:00.000000", "09:30:00.000001"}), {0, 1}},
      {"digits added after the sixth decimal", Ids({"09:00:00.9999999", "09:30:00.999999"}), {0}},
      {"the gap is measured over a line without a time",
       Ids({"09:00:00.000000", "2026-03-14 9:10", "09:31:00.000000"}),
       {0, 2}},
      {"a run starts at a line, or between lines once its first line is gone",
       Ids({"09:00:00.000000", "09:01:00.000000", "09:02:00.000000", "09:03:00.000000"}),
       {0, 1, 3},
       Ids({"08:00:00.000000", "09:01:00.000000", "09:02:30.000000"})},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SessionStarts(c.ids, c.run_starts), c.starts) << c.why;
}

}  // namespace
}  // namespace quensary
