#pragma once

#include <glib.h>

#include <chrono>
#include <string>
#include <vector>

namespace quensary::testing {

// Runs a program to its end while the default main context keeps running, so the GTK thread is
// never blocked while another process (xdotool, for example) talks to the X server.
// Returns the exit status, or -1 when it could not be started or did not end in time (it is then
// ended by its pid).
int RunToEnd(const std::vector<std::string>& argv,
             std::chrono::milliseconds timeout = std::chrono::seconds(20),
             std::string* output = nullptr);

// A program running in a process group of its own until the object goes: it is then ended with
// SIGTERM to its whole group (and SIGKILL when it has not ended after a while), also when the
// test fails half-way. Its standard input is a pipe the test may write lines to.
class BackgroundProcess {
 public:
  explicit BackgroundProcess(const std::vector<std::string>& argv);
  ~BackgroundProcess();
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  GPid Pid() const { return pid_; }
  bool Running() const { return pid_ > 0 && !ended_; }
  // Ends the whole process group now and waits (bounded) until the leader is gone; a frozen
  // group is thawed so that it can end.
  void Stop();
  // Ends the whole process group at once, as a crash would, and waits (bounded) for the leader.
  void Kill();
  // Freezes and thaws the whole process group (SIGSTOP, SIGCONT), as a hung program would be.
  void Freeze();
  void Thaw();
  // Writes one line to its standard input.
  bool WriteLine(const std::string& line);

 private:
  void CloseInput();

  GPid pid_ = 0;
  bool ended_ = false;
  guint watch_ = 0;
  gint stdin_fd_ = -1;
};

}  // namespace quensary::testing
