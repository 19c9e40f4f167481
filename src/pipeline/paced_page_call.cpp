#include "pipeline/paced_page_call.h"

#include <utility>

namespace quensary {

PacedPageCall::PacedPageCall(std::shared_ptr<MainQueue> main_queue,
                             std::chrono::milliseconds interval,
                             std::function<void(const std::string&)> send)
    : main_queue_(std::move(main_queue)), interval_(interval), send_(std::move(send)) {}

void PacedPageCall::Offer(MakeCall make) {
  if (waiting_) {
    held_ = std::move(make);
    return;
  }
  send_(make());
  waiting_ = true;
  main_queue_->PostAfter(interval_, [weak = weak_from_this()] {
    if (const auto self = weak.lock())
      self->IntervalEnded();
  });
}

void PacedPageCall::IntervalEnded() {
  waiting_ = false;
  if (!held_)
    return;
  Offer(std::exchange(held_, nullptr));
}

}  // namespace quensary
