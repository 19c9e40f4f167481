#include "pipeline/paced_page_call.h"

#include <utility>

namespace quensary {

PacedPageCall::PacedPageCall(std::shared_ptr<MainQueue> main_queue,
                             std::chrono::milliseconds interval,
                             std::function<void(const std::string&)> send)
    : main_queue_(std::move(main_queue)), interval_(interval), send_(std::move(send)) {}

void PacedPageCall::Offer(MakeCall make, size_t stream) {
  if (waiting_ || held_back_) {
    if (held_.size() <= stream)
      held_.resize(stream + 1);
    held_[stream] = std::move(make);
    return;
  }
  send_(make());
  waiting_ = true;
  main_queue_->PostAfter(interval_, [weak = weak_from_this()] {
    if (const auto self = weak.lock())
      self->IntervalEnded();
  });
}

void PacedPageCall::SetHeld(bool held) {
  held_back_ = held;
  if (!held && !waiting_)
    IntervalEnded();
}

void PacedPageCall::IntervalEnded() {
  waiting_ = false;
  if (held_back_)
    return;
  std::vector<MakeCall> held = std::exchange(held_, {});
  std::erase(held, nullptr);
  if (held.empty())
    return;
  Offer(std::move(held.front()));
  for (size_t i = 1; i < held.size(); ++i)
    send_(held[i]());
}

}  // namespace quensary
