#pragma once

#include <glib.h>

#include <chrono>
#include <functional>

namespace quensary::testing {

// Runs the default main context until the condition holds or the time-out passes.
// Returns whether the condition held. Never sleeps blindly: it iterates the loop, waking at
// least every 10 ms to look again.
inline bool RunLoopUntil(const std::function<bool()>& condition,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return false;
    // A short timer bounds the blocking iteration, so the condition and the deadline are
    // looked at again even when nothing else happens.
    bool fired = false;
    const guint tick = g_timeout_add(
        10,
        [](gpointer data) {
          *static_cast<bool*>(data) = true;
          return G_SOURCE_REMOVE;
        },
        &fired);
    g_main_context_iteration(nullptr, TRUE);
    if (!fired)
      g_source_remove(tick);
  }
  return true;
}

// Runs the default main context for a while, for work that has no condition to wait on.
inline void RunLoopFor(std::chrono::milliseconds duration) {
  const auto deadline = std::chrono::steady_clock::now() + duration;
  RunLoopUntil([&] { return std::chrono::steady_clock::now() >= deadline; }, duration * 2);
}

}  // namespace quensary::testing
