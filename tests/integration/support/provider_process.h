#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace quensary::testing {

// A program started by a test, ended (SIGKILL, then reaped) when the object goes, also when the
// test fails half-way. Its standard input is a pipe the test may write to; its output goes to
// the test's own.
class ProviderProcess {
 public:
  explicit ProviderProcess(const std::vector<std::string>& argv);
  ~ProviderProcess();
  ProviderProcess(const ProviderProcess&) = delete;
  ProviderProcess& operator=(const ProviderProcess&) = delete;

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Freezes and thaws the process (SIGSTOP, SIGCONT).
  void Stop();
  void Continue();
  // Kills and reaps it.
  void Kill();
  // Writes a line to its standard input.
  bool WriteLine(const std::string& line);

 private:
  pid_t pid_ = -1;
  int stdin_fd_ = -1;
};

}  // namespace quensary::testing
