#include <gtest/gtest.h>

#include <future>

#include "fakes/temp_dir.h"
#include "history/sqlite_helper.h"

namespace quensary {
namespace {

// The transcript steps through the first results but tells how many match in all, whether the
// index finds them or every row is read for a text too short for it.
TEST(TranscriptSearch, ACountedSearchCountsEveryMatchBeyondTheIdsItGives) {
  testing::TempDir dir;
  SQLiteHelper history(dir.path());
  for (int n = 0; n < 4; ++n)
    history.SaveLine(CaptionLine(std::to_string(n), n < 3 ? "zebra" : "other", true, ""));
  const std::pair<const char*, std::string> cases[] = {
      {"zebra", "2 of 3"}, {"ze", "2 of 3"}, {"er", "1 of 1"}, {"zz", "0 of 0"}};
  for (const auto& [text, expected] : cases) {
    std::promise<std::string> read;
    history.SearchLinesCounted(text, SQLiteHelper::SearchOrder::kOldestFirst, 2, [&](auto found) {
      read.set_value(std::to_string(found->ids.size()) + " of " + std::to_string(found->total));
    });
    EXPECT_EQ(read.get_future().get(), expected) << text;
  }
}

}  // namespace
}  // namespace quensary
