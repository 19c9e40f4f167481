#pragma once

#include <memory>

#include "app/program.h"
#include "platform/glib/glib_main_queue.h"

namespace quensary::testing {

// The whole program as it runs once permission is given, composed at the first call.
inline Program& TheProgram() {
  return ComposeProgram({std::make_shared<GlibMainQueue>(), std::make_shared<WorkerQueue>(), {}},
                        nullptr);
}

}  // namespace quensary::testing
