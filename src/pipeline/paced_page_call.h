#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/main_queue.h"

namespace quensary {

// Streams of page calls of which only the newest of each counts, each carrying the whole state
// (the line list, the engine's status). The first goes out at once; after each call that went
// out, the next waits until `interval` has passed, and only the newest of each stream offered
// meanwhile goes out then, made when it goes out, in the order of the streams. A page lays
// itself out and repaints for every call it gets apart from the others, so a list that changes
// word by word costs it one repaint an interval instead of one a word, and the streams share
// that repaint. Main thread only; held through std::shared_ptr.
class PacedPageCall : public std::enable_shared_from_this<PacedPageCall> {
 public:
  PacedPageCall(std::shared_ptr<MainQueue> main_queue, std::chrono::milliseconds interval,
                std::function<void(const std::string&)> send);
  PacedPageCall(const PacedPageCall&) = delete;
  PacedPageCall& operator=(const PacedPageCall&) = delete;

  using MakeCall = std::function<std::string()>;
  void Offer(MakeCall make, size_t stream = 0);
  // Held, nothing goes out and the newest of each stream is kept: a page nobody sees (that of a
  // minimized window) would still lay out every call. Released, what was kept goes out as
  // though its interval had ended.
  void SetHeld(bool held);

 private:
  void IntervalEnded();

  const std::shared_ptr<MainQueue> main_queue_;
  const std::chrono::milliseconds interval_;
  const std::function<void(const std::string&)> send_;
  std::vector<MakeCall> held_;  // by stream
  bool waiting_ = false;
  bool held_back_ = false;
};

}  // namespace quensary
