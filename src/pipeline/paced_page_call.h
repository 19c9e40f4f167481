#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/main_queue.h"

namespace quensary {

// A stream of page calls of which only the newest counts, each carrying the whole state (the
// line list, the engine's status). The first goes out at once; after each call that went out,
// the next waits until `interval` has passed, and only the newest of those offered meanwhile
// goes out then, made when it goes out. A page lays itself out and repaints for every call, so a
// list that changes word by word costs it one repaint an interval instead of one a word. Main
// thread only; held through std::shared_ptr.
class PacedPageCall : public std::enable_shared_from_this<PacedPageCall> {
 public:
  PacedPageCall(std::shared_ptr<MainQueue> main_queue, std::chrono::milliseconds interval,
                std::function<void(const std::string&)> send);
  PacedPageCall(const PacedPageCall&) = delete;
  PacedPageCall& operator=(const PacedPageCall&) = delete;

  using MakeCall = std::function<std::string()>;
  void Offer(MakeCall make);

 private:
  void IntervalEnded();

  const std::shared_ptr<MainQueue> main_queue_;
  const std::chrono::milliseconds interval_;
  const std::function<void(const std::string&)> send_;
  MakeCall held_;
  bool waiting_ = false;
};

}  // namespace quensary
