#pragma once

#include <gdk/gdk.h>
#include <gio/gio.h>
#include <signal.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/glib/gobject_ref.h"

namespace quensary::testing {

// A program running in a process group of its own until the object goes: its whole group is then
// ended, also when the test fails half-way. Its standard input is a pipe the test writes lines to.
class BackgroundProcess {
 public:
  // `environment` holds NAME=VALUE pairs set for the child; its standard output goes to
  // `output_path` when one is given.
  explicit BackgroundProcess(const std::vector<std::string>& argv,
                             const std::vector<std::string>& environment = {},
                             const std::string& output_path = "");
  ~BackgroundProcess() { Stop(); }
  BackgroundProcess(const BackgroundProcess&) = delete;
  BackgroundProcess& operator=(const BackgroundProcess&) = delete;

  pid_t Pid() const { return pid_; }
  bool Running() const;
  // The exit status once the program has ended by itself; -1 for a signal.
  std::optional<int> ExitStatus() const;
  // Ends the whole group (SIGTERM, then SIGKILL) and waits, bounded, for the leader.
  void Stop();
  // Ends the whole group at once, as a crash would.
  void Kill();
  // Freezes and thaws the whole group, as a hung program would be.
  void Freeze() { Signal(SIGSTOP); }
  void Thaw() { Signal(SIGCONT); }
  bool WriteLine(const std::string& line);

 private:
  void Signal(int signal) const;

  GObjectRef<GSubprocess> process_;
  pid_t pid_ = 0;
};

// Runs a program to its end while the default main context keeps running, so the GTK thread is
// never blocked while another process (xdotool, for example) talks to the X server. Returns the
// exit status, or -1 when it could not be started or did not end in time (it is then killed).
int RunToEnd(const std::vector<std::string>& argv,
             std::chrono::milliseconds timeout = std::chrono::seconds(20),
             std::string* output = nullptr);

// Drives the pointer or the keyboard with xdotool and waits for it; whether xdotool succeeded.
// The X server first handles every request this process has sent (a move, a resize, an input
// shape): the test reads its windows' state at once, while those requests would otherwise wait
// in the connection and reach the server after xdotool's events.
inline bool Xdotool(std::vector<std::string> args) {
  if (GdkDisplay* display = gdk_display_get_default())
    gdk_display_sync(display);
  args.insert(args.begin(), "xdotool");
  return RunToEnd(args) == 0;
}

// Saves the screen, or the part `crop` names (WIDTHxHEIGHT+X+Y), among the build's artifacts for
// people to look at.
inline void Screenshot(const std::string& name, const std::string& crop = "") {
  std::vector<std::string> argv = {"import", "-window", "root"};
  if (!crop.empty())
    argv.insert(argv.end(), {"-crop", crop});
  argv.push_back(QUENSARY_BINARY_DIR "/artifacts/" + name);
  RunToEnd(argv);
}

// Switches the desktop's accessibility for the session (org.a11y.Status IsEnabled), as a user
// or the permission window would; whether the call succeeded.
inline bool SetDesktopAccessibility(bool enabled) {
  return RunToEnd({"gdbus", "call", "--session", "--dest", "org.a11y.Bus", "--object-path",
                   "/org/a11y/bus", "--method", "org.freedesktop.DBus.Properties.Set",
                   "org.a11y.Status", "IsEnabled", enabled ? "<true>" : "<false>"}) == 0;
}

// What listens on a TCP port, one line per socket as `ss` tells it; empty when nothing does.
std::string ListenersOn(int port);

// Starts the offline engine (Debian's Apertium APy, through scripts/apertium-apy) on a loopback
// port unless something listens there already, and waits (bounded) until it listens. Null when it
// was running already or did not come up.
std::unique_ptr<BackgroundProcess> StartApertium(int port);

}  // namespace quensary::testing
