#include "support/child_process.h"

#include <signal.h>
#include <unistd.h>

#include <optional>

#include "platform/glib/glib_ptr.h"
#include "support/main_loop_wait.h"

namespace quensary::testing {
namespace {

GObjectRef<GSubprocess> Spawn(const std::vector<std::string>& argv, GSubprocessFlags flags,
                              bool own_group, const std::vector<std::string>& environment = {},
                              const std::string& output_path = "") {
  std::vector<const char*> raw;
  for (const auto& arg : argv)
    raw.push_back(arg.c_str());
  raw.push_back(nullptr);
  auto launcher = GObjectRef<GSubprocessLauncher>::Adopt(g_subprocess_launcher_new(flags));
  for (const auto& pair : environment) {
    const auto equals = pair.find('=');
    g_subprocess_launcher_setenv(launcher.get(), pair.substr(0, equals).c_str(),
                                 pair.substr(equals + 1).c_str(), TRUE);
  }
  if (!output_path.empty())
    g_subprocess_launcher_set_stdout_file_path(launcher.get(), output_path.c_str());
  // A group of its own, so that whatever it starts ends with it.
  if (own_group)
    g_subprocess_launcher_set_child_setup(
        launcher.get(), [](gpointer) { setpgid(0, 0); }, nullptr, nullptr);
  return GObjectRef<GSubprocess>::Adopt(
      g_subprocess_launcher_spawnv(launcher.get(), raw.data(), nullptr));
}

}  // namespace

int RunToEnd(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
             std::string* output) {
  auto process =
      Spawn(argv, output ? G_SUBPROCESS_FLAGS_STDOUT_PIPE : G_SUBPROCESS_FLAGS_NONE, false);
  if (!process)
    return -1;
  // Shared with the callback, which may come after a time-out ended this call.
  auto result = std::make_shared<std::optional<std::string>>();
  g_subprocess_communicate_utf8_async(
      process.get(), nullptr, nullptr,
      [](GObject* source, GAsyncResult* async, gpointer data) {
        const std::unique_ptr<std::shared_ptr<std::optional<std::string>>> result(
            static_cast<std::shared_ptr<std::optional<std::string>>*>(data));
        gchar* out = nullptr;
        g_subprocess_communicate_utf8_finish(G_SUBPROCESS(source), async, &out, nullptr, nullptr);
        const GCharPtr owned(out);
        **result = owned ? owned.get() : "";
      },
      std::make_unique<std::shared_ptr<std::optional<std::string>>>(result).release());
  if (!RunLoopUntil([&] { return result->has_value(); }, timeout)) {
    g_subprocess_force_exit(process.get());
    return -1;
  }
  if (output)
    *output = **result;
  return g_subprocess_get_if_exited(process.get()) ? g_subprocess_get_exit_status(process.get())
                                                   : -1;
}

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const std::vector<std::string>& environment,
                                     const std::string& output_path)
    : process_(Spawn(argv, G_SUBPROCESS_FLAGS_STDIN_PIPE, true, environment, output_path)) {
  if (process_)
    pid_ = std::stoi(g_subprocess_get_identifier(process_.get()));
}

bool BackgroundProcess::Running() const {
  // GLib reaps the leader on a thread of its own and forgets its identifier then.
  return process_ && g_subprocess_get_identifier(process_.get()) != nullptr;
}

std::optional<int> BackgroundProcess::ExitStatus() const {
  if (!process_ || Running())
    return std::nullopt;
  return g_subprocess_get_if_exited(process_.get()) ? g_subprocess_get_exit_status(process_.get())
                                                    : -1;
}

void BackgroundProcess::Signal(int signal) const {
  if (Running())
    kill(-pid_, signal);
}

void BackgroundProcess::Kill() {
  Signal(SIGKILL);
  WaitEnded();
}

void BackgroundProcess::WaitEnded() {
  RunLoopUntil([&] { return !Running(); }, std::chrono::seconds(5));
}

void BackgroundProcess::Stop() {
  if (!Running())
    return;
  g_output_stream_close(g_subprocess_get_stdin_pipe(process_.get()), nullptr, nullptr);
  Signal(SIGTERM);
  Signal(SIGCONT);
  WaitEnded();
  Kill();
}

bool BackgroundProcess::WriteLine(const std::string& line) {
  const std::string text = line + "\n";
  return Running() &&
         g_output_stream_write_all(g_subprocess_get_stdin_pipe(process_.get()), text.data(),
                                   text.size(), nullptr, nullptr, nullptr);
}

}  // namespace quensary::testing
