#pragma once

#include <functional>
#include <string_view>

namespace quensary {

// The program's few diagnostic lines (a caption row reported finished, an unreadable engine
// list, a damaged settings file, the main page's start values) all go through here: one line
// each, written whole and flushed to standard output. Safe to call from any thread.
void WriteDiagnostic(std::string_view line);

// Where diagnostic lines go instead of standard output; an empty function restores standard
// output. Returns the previous destination. Tests capture the lines this way.
using DiagnosticSink = std::function<void(std::string_view line)>;
DiagnosticSink SetDiagnosticSink(DiagnosticSink sink);

}  // namespace quensary
