#include "pipeline/line_id_maker.h"

#include <glib.h>

#include "platform/glib/glib_ptr.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {
namespace {

// The smallest change that makes a text greater than `text` and still smaller than every later
// clock text of the usual length: bump the final digit, or add one when it is a 9.
std::string Successor(std::string text) {
  if (!text.empty() && text.back() >= '0' && text.back() < '9')
    ++text.back();
  else
    text.push_back('0');
  return text;
}

}  // namespace

LineIdMaker::LineIdMaker(std::shared_ptr<const Clock> clock) : clock_(std::move(clock)) {}

std::string LineIdMaker::Format(Clock::WallTimePoint time) {
  const auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(time.time_since_epoch()).count();
  // Floor division, so that moments before 1970 still split into seconds and a positive rest.
  gint64 seconds = micros / 1000000;
  gint64 rest = micros % 1000000;
  if (rest < 0) {
    rest += 1000000;
    --seconds;
  }
  const GDateTimePtr whole(g_date_time_new_from_unix_local(seconds));
  if (!whole)
    return {};
  const GDateTimePtr precise(g_date_time_add(whole.get(), rest));
  if (!precise)
    return {};
  const GCharPtr text(g_date_time_format(precise.get(), RevealText(Sealed::LineIdPattern).c_str()));
  return text ? text.get() : "";
}

std::string LineIdMaker::Next() {
  std::string id = Format(clock_->WallNow());
  if (id <= last_)
    id = Successor(last_);
  last_ = id;
  return id;
}

}  // namespace quensary
