#include "support/navigation_outcome.h"

namespace quensary {

bool NavigationOutcome::OnEvent(Event event, bool* arm_time_out) {
  switch (event) {
    case Event::kStarted:
      committed_ = false;
      reported_ = false;
      if (arm_time_out)
        *arm_time_out = first_load_pending_ && !time_out_armed_;
      time_out_armed_ = time_out_armed_ || first_load_pending_;
      return false;
    case Event::kCommitted:
      committed_ = true;
      first_load_pending_ = false;
      return false;
    case Event::kFinished:
      if (reported_)
        return false;
      reported_ = true;
      return true;
    case Event::kFailedBeforeCommit:
    case Event::kFailedAfterCommit: {
      first_load_pending_ = false;
      if (reported_)
        return false;
      // Either way this navigation has its outcome; the FINISHED that follows says nothing new.
      reported_ = true;
      return event == Event::kFailedAfterCommit || committed_;
    }
  }
  return false;
}

bool NavigationOutcome::FirstLoadTimedOut() {
  const bool pending = first_load_pending_;
  first_load_pending_ = false;
  return pending;
}

}  // namespace quensary
