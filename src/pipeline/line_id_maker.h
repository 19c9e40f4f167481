#pragma once

#include <memory>
#include <string>

#include "platform/clock.h"

namespace quensary {

// Makes the `Id` of a new caption line: its creation time in local time, to the microsecond,
// as text whose text order is the time order. The history keeps one row per `Id`, so two lines
// must never share one: when the clock gives a text that is not greater than the previous one
// (two lines within a microsecond, a clock set back, the end of summer time), the previous text
// is advanced instead. Not thread-safe: its owner calls it under `LineLock`.
class LineIdMaker {
 public:
  explicit LineIdMaker(std::shared_ptr<const Clock> clock);

  std::string Next();

  // The local-time text of a moment, without the uniqueness rule.
  static std::string Format(Clock::WallTimePoint time);

 private:
  std::shared_ptr<const Clock> clock_;
  std::string last_;
};

}  // namespace quensary
