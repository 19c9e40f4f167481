#include "support/provider_process.h"

#include <glib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quensary::testing {

ProviderProcess::ProviderProcess(const std::vector<std::string>& argv) {
  std::vector<gchar*> args;
  for (const auto& arg : argv)
    args.push_back(const_cast<gchar*>(arg.c_str()));
  args.push_back(nullptr);
  GPid pid = -1;
  if (g_spawn_async_with_pipes(nullptr, args.data(), nullptr,
                               static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD), nullptr,
                               nullptr, &pid, &stdin_fd_, nullptr, nullptr, nullptr)) {
    pid_ = pid;
  }
}

ProviderProcess::~ProviderProcess() {
  Kill();
}

void ProviderProcess::Stop() {
  if (pid_ > 0)
    kill(pid_, SIGSTOP);
}

void ProviderProcess::Continue() {
  if (pid_ > 0)
    kill(pid_, SIGCONT);
}

void ProviderProcess::Kill() {
  if (stdin_fd_ >= 0) {
    close(stdin_fd_);
    stdin_fd_ = -1;
  }
  if (pid_ <= 0)
    return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

bool ProviderProcess::WriteLine(const std::string& line) {
  if (stdin_fd_ < 0)
    return false;
  const std::string text = line + "\n";
  return write(stdin_fd_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

}  // namespace quensary::testing
