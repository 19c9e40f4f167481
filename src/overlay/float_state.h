#pragma once

#include <functional>
#include <vector>

namespace quensary {

// The overlay's hover state, shared by the hover tick and the lock button. Every assignment
// notifies the observers, whether or not the value changed. Main thread only.
class FloatState {
 public:
  using Observer = std::function<void()>;

  bool Inarea() const { return Inarea_; }  // the pointer was inside the overlay at the last tick
  bool IsLock() const { return IsLock_; }  // the overlay stays click-through under the pointer
  void SetInarea(bool inarea) {
    Inarea_ = inarea;
    Notify();
  }
  void SetIsLock(bool is_lock) {
    IsLock_ = is_lock;
    Notify();
  }
  void Observe(Observer observer) { observers_.push_back(std::move(observer)); }

 private:
  void Notify() {
    for (const auto& observer : observers_)
      observer();
  }

  bool Inarea_ = false;
  bool IsLock_ = false;
  std::vector<Observer> observers_;
};

}  // namespace quensary
