#include "support/child_process.h"

#include <glib-unix.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "support/main_loop_wait.h"

namespace quensary::testing {
namespace {

std::vector<char*> ArgvOf(const std::vector<std::string>& argv) {
  std::vector<char*> raw;
  for (const auto& arg : argv)
    raw.push_back(const_cast<char*>(arg.c_str()));
  raw.push_back(nullptr);
  return raw;
}

struct Exit {
  bool done = false;
  int status = -1;
};

}  // namespace

int RunToEnd(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
             std::string* output) {
  auto raw = ArgvOf(argv);
  GPid pid = 0;
  gint out_fd = -1;
  const auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD);
  if (!g_spawn_async_with_pipes(nullptr, raw.data(), nullptr, flags, nullptr, nullptr, &pid,
                                nullptr, output ? &out_fd : nullptr, nullptr, nullptr)) {
    return -1;
  }
  // The watch keeps its own reference: it may fire after a time-out ended this call.
  using ExitPtr = std::shared_ptr<Exit>;
  auto exit = std::make_shared<Exit>();
  g_child_watch_add_full(
      G_PRIORITY_DEFAULT, pid,
      [](GPid child, gint status, gpointer data) {
        auto& result = *static_cast<ExitPtr*>(data);
        result->done = true;
        result->status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        g_spawn_close_pid(child);
      },
      std::make_unique<ExitPtr>(exit).release(),
      [](gpointer data) { std::unique_ptr<ExitPtr>(static_cast<ExitPtr*>(data)); });
  std::string collected;
  if (out_fd >= 0)
    g_unix_set_fd_nonblocking(out_fd, TRUE, nullptr);
  const bool ended = RunLoopUntil(
      [&] {
        if (out_fd >= 0) {
          char buffer[4096];
          ssize_t n;
          while ((n = read(out_fd, buffer, sizeof buffer)) > 0)
            collected.append(buffer, static_cast<size_t>(n));
        }
        return exit->done;
      },
      timeout);
  if (out_fd >= 0) {
    char buffer[4096];
    ssize_t n;
    while ((n = read(out_fd, buffer, sizeof buffer)) > 0)
      collected.append(buffer, static_cast<size_t>(n));
    close(out_fd);
  }
  if (output)
    *output = collected;
  if (!ended) {
    kill(pid, SIGKILL);
    return -1;
  }
  return exit->status;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv) {
  auto raw = ArgvOf(argv);
  const auto flags = static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD);
  // A group of its own, so that whatever it starts ends with it.
  const GSpawnChildSetupFunc own_group = [](gpointer) { setpgid(0, 0); };
  if (!g_spawn_async_with_pipes(nullptr, raw.data(), nullptr, flags, own_group, nullptr, &pid_,
                                &stdin_fd_, nullptr, nullptr, nullptr)) {
    pid_ = 0;
    stdin_fd_ = -1;
    return;
  }
  watch_ = g_child_watch_add(
      pid_,
      [](GPid child, gint, gpointer data) {
        *static_cast<bool*>(data) = true;
        g_spawn_close_pid(child);
      },
      &ended_);
}

void BackgroundProcess::Stop() {
  CloseInput();
  if (!Running())
    return;
  kill(-pid_, SIGTERM);
  kill(-pid_, SIGCONT);
  if (!RunLoopUntil([&] { return ended_; }, std::chrono::seconds(5)))
    Kill();
}

void BackgroundProcess::Kill() {
  CloseInput();
  if (!Running())
    return;
  kill(-pid_, SIGKILL);
  RunLoopUntil([&] { return ended_; }, std::chrono::seconds(5));
}

void BackgroundProcess::Freeze() {
  if (Running())
    kill(-pid_, SIGSTOP);
}

void BackgroundProcess::Thaw() {
  if (Running())
    kill(-pid_, SIGCONT);
}

bool BackgroundProcess::WriteLine(const std::string& line) {
  if (stdin_fd_ < 0)
    return false;
  const std::string text = line + "\n";
  return write(stdin_fd_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

void BackgroundProcess::CloseInput() {
  if (stdin_fd_ >= 0) {
    close(stdin_fd_);
    stdin_fd_ = -1;
  }
}

BackgroundProcess::~BackgroundProcess() {
  Stop();
  if (watch_ && !ended_)
    g_source_remove(watch_);
}

}  // namespace quensary::testing
