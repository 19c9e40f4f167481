#include "platform/diagnostics.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace quensary {
namespace {

std::mutex& SinkMutex() {
  static std::mutex* const mutex = new std::mutex;  // never destroyed: used until the very end
  return *mutex;
}

DiagnosticSink& Sink() {
  static DiagnosticSink* const sink = new DiagnosticSink;
  return *sink;
}

}  // namespace

void WriteDiagnostic(std::string_view line) {
  std::lock_guard lock(SinkMutex());
  if (Sink()) {
    Sink()(line);
    return;
  }
  // One write per line, so lines of different threads never interleave.
  std::string text(line);
  text += '\n';
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

DiagnosticSink SetDiagnosticSink(DiagnosticSink sink) {
  std::lock_guard lock(SinkMutex());
  std::swap(Sink(), sink);
  return sink;
}

}  // namespace quensary
