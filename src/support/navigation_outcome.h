#pragma once

namespace quensary {

// What a web view's load events mean for its page's load step: every navigation has exactly one
// outcome, and the step runs when the navigation finished, or failed after its document was
// committed; never for a failure before commit (WebKit reports FINISHED after a failure too).
// The first load of a page is watched as well: when it has not committed within its time it is
// given up, which makes it a failure before commit. Main thread only.
class NavigationOutcome {
 public:
  enum class Event { kStarted, kCommitted, kFinished, kFailedBeforeCommit, kFailedAfterCommit };

  // A first load was asked for; its time-out is armed when WebKit reports it started.
  void ExpectFirstLoad() { first_load_pending_ = true; }

  // Whether the load step runs now. For kStarted, *arm_time_out tells whether the first load's
  // time-out starts now: from the reported start, not from the request, since a stop before the
  // start is lost and the load would then hang for ever.
  bool OnEvent(Event event, bool* arm_time_out = nullptr);

  // The first load's time has run out: whether it is still waiting to commit (then stop it).
  bool FirstLoadTimedOut();

 private:
  bool committed_ = false;
  bool reported_ = true;
  bool first_load_pending_ = false;
  bool time_out_armed_ = false;
};

}  // namespace quensary
