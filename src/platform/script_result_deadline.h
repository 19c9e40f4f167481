#pragma once

#include <chrono>

#include "platform/main_queue.h"
#include "platform/script_target.h"

namespace quensary {

// How long RunJsAsync waits for a page's result before it gives up with the empty text. A page
// function whose promise never settles would otherwise keep its request, and everything the
// request holds, for ever.
inline constexpr std::chrono::milliseconds kScriptResultTimeout{30'000};

// Wraps `done` so that it runs exactly once: with the first result delivered to the returned
// callback, or with the empty text when `timeout` passes first (the timer runs on `queue`).
// Later deliveries are ignored. Call and deliver on the main thread.
ScriptTarget::TextCallback WithResultDeadline(MainQueue& queue, std::chrono::milliseconds timeout,
                                              ScriptTarget::TextCallback done);

}  // namespace quensary
