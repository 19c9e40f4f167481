#include <gtest/gtest.h>

#include <future>

#include "fakes/temp_dir.h"
#include "history/sqlite_helper.h"

namespace quensary {
namespace {

// The transcript steps through the first results but tells how many there are in all, whether
// the index finds them or every row is read for a text too short for it.
TEST(TranscriptSearch, ACountedSearchCountsEveryMatchBeyondTheIdsItGives) {
  testing::TempDir dir;
  SQLiteHelper history(dir.path());
  for (int n = 0; n < 5; ++n)
    history.SaveLine(CaptionLine("2026-01-05 00:00:0" + std::to_string(n), "zebra", true, ""));
  history.SaveLine(CaptionLine("2026-01-05 00:00:09", "other", true, ""));
  const std::pair<const char*, std::string> cases[] = {
      {"zebra", "2026-01-05 00:00:00 2026-01-05 00:00:01 of 5"},
      {"ze", "2026-01-05 00:00:00 2026-01-05 00:00:01 of 5"},
      {"er", "2026-01-05 00:00:09 of 1"},
      {"zz", " of 0"},
  };
  for (const auto& [text, expected] : cases) {
    std::promise<std::string> read;
    history.SearchLinesCounted(text, SQLiteHelper::SearchOrder::kOldestFirst, 2, [&](auto found) {
      std::string ids;
      for (const auto& id : found->ids)
        ids += (ids.empty() ? "" : " ") + id;
      read.set_value(ids + " of " + std::to_string(found->total));
    });
    EXPECT_EQ(read.get_future().get(), expected) << text;
  }
}

}  // namespace
}  // namespace quensary
