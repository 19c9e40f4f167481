#include "support/process_end.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <vector>

namespace quensary {
namespace {

struct Finishers {
  std::mutex mutex;
  std::vector<std::function<void()>> list;
};

Finishers& Registered() {
  static Finishers* const finishers = new Finishers;  // never destroyed, like everything here
  return *finishers;
}

}  // namespace

void AtProcessEnd(std::function<void()> finish) {
  std::lock_guard lock(Registered().mutex);
  Registered().list.push_back(std::move(finish));
}

void EndProcess(int status) {
  std::vector<std::function<void()>> finishers;
  {
    std::lock_guard lock(Registered().mutex);
    finishers = Registered().list;
  }
  for (const auto& finish : finishers)
    finish();
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(status);
}

}  // namespace quensary
