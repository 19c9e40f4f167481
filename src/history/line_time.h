#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace quensary {

// The moment a line's `Id` names, read back from its text ("2026-03-14 09:26:53.589793", the
// shape the Id pattern writes; digits the uniqueness rule appended after the sixth decimal are
// ignored). The Id holds local time without its zone, so the result counts from 1970-01-01
// 00:00 of that same local clock: right for the distance between two lines, an hour off across
// a change of summer time. Absent for a text of any other shape.
std::optional<std::chrono::microseconds> LineIdTime(std::string_view id);

// The Id's date and time to the second ("2026-03-14 09:26:53"), for what a person reads in an
// exported file; an Id of another shape is given whole.
std::string_view LineIdClock(std::string_view id);

}  // namespace quensary
