#pragma once

#include <webkit2/webkit2.h>

namespace quensary {

// The one web context of the program, shared by every page: it serves the program's page scheme
// and owns the network process. Created on first use; lives until the process ends. Main thread.
WebKitWebContext* ProgramWebContext();

}  // namespace quensary
