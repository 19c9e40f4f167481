#include "history/line_time.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace quensary {
namespace {

constexpr size_t kClockLength = 19;  // "YYYY-MM-DD HH:MM:SS"

// The number written by `count` digits at `at`, or -1 when one of them is not a digit.
int Digits(std::string_view text, size_t at, size_t count) {
  int value = 0;
  for (size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9')
      return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

std::optional<std::chrono::microseconds> LineIdTime(std::string_view id) {
  using namespace std::chrono;
  if (id.size() < kClockLength || id[4] != '-' || id[7] != '-' || id[10] != ' ' || id[13] != ':' ||
      id[16] != ':')
    return std::nullopt;
  const int y = Digits(id, 0, 4), mo = Digits(id, 5, 2), d = Digits(id, 8, 2);
  const int h = Digits(id, 11, 2), mi = Digits(id, 14, 2), s = Digits(id, 17, 2);
  const year_month_day date{year{y}, month{static_cast<unsigned>(mo)},
                            day{static_cast<unsigned>(d)}};
  // A leap second (60) is allowed: the pattern may write one.
  if (y < 0 || !date.ok() || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 60)
    return std::nullopt;
  int64_t fraction = 0;
  if (id.size() > kClockLength) {
    const std::string_view decimals = id.substr(kClockLength + 1);
    if (id[kClockLength] != '.' || decimals.empty() ||
        !std::all_of(decimals.begin(), decimals.end(), [](char c) { return c >= '0' && c <= '9'; }))
      return std::nullopt;
    for (size_t i = 0; i < 6; ++i)
      fraction = fraction * 10 + (i < decimals.size() ? decimals[i] - '0' : 0);
  }
  const auto moment = sys_days{date} + hours{h} + minutes{mi} + seconds{s} + microseconds{fraction};
  return duration_cast<microseconds>(moment.time_since_epoch());
}

std::string_view LineIdClock(std::string_view id) {
  return LineIdTime(id) ? id.substr(0, kClockLength) : id;
}

}  // namespace quensary
