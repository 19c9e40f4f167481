#include "support/child_process.h"

#include <unistd.h>

#include "fakes/temp_dir.h"
#include "support/main_loop_wait.h"

namespace quensary::testing {

BackgroundProcess::BackgroundProcess(const std::vector<std::string>& argv,
                                     const std::vector<std::string>& environment,
                                     const std::string& output_path) {
  std::vector<const char*> raw;
  for (const auto& arg : argv)
    raw.push_back(arg.c_str());
  raw.push_back(nullptr);
  auto launcher = GObjectRef<GSubprocessLauncher>::Adopt(
      g_subprocess_launcher_new(G_SUBPROCESS_FLAGS_STDIN_PIPE));
  for (const auto& pair : environment) {
    const auto equals = pair.find('=');
    g_subprocess_launcher_setenv(launcher.get(), pair.substr(0, equals).c_str(),
                                 pair.substr(equals + 1).c_str(), TRUE);
  }
  if (!output_path.empty())
    g_subprocess_launcher_set_stdout_file_path(launcher.get(), output_path.c_str());
  // A group of its own, so that whatever it starts ends with it.
  g_subprocess_launcher_set_child_setup(
      launcher.get(), [](gpointer) { setpgid(0, 0); }, nullptr, nullptr);
  process_ = GObjectRef<GSubprocess>::Adopt(
      g_subprocess_launcher_spawnv(launcher.get(), raw.data(), nullptr));
  // A short program may have ended, and been reaped, already: it has no identifier then.
  if (const char* id = process_ ? g_subprocess_get_identifier(process_.get()) : nullptr)
    pid_ = std::stoi(id);
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
  RunLoopUntil([&] { return !Running(); }, std::chrono::seconds(5));
}

void BackgroundProcess::Stop() {
  if (!Running())
    return;
  g_output_stream_close(g_subprocess_get_stdin_pipe(process_.get()), nullptr, nullptr);
  Signal(SIGTERM);
  Signal(SIGCONT);
  RunLoopUntil([&] { return !Running(); }, std::chrono::seconds(5));
  Kill();
}

bool BackgroundProcess::WriteLine(const std::string& line) {
  const std::string text = line + "\n";
  return Running() &&
         g_output_stream_write_all(g_subprocess_get_stdin_pipe(process_.get()), text.data(),
                                   text.size(), nullptr, nullptr, nullptr);
}

int RunToEnd(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
             std::string* output) {
  const TempDir dir;
  const std::string output_path = output ? dir.path() + "/output" : "";
  BackgroundProcess process(argv, {}, output_path);
  if (!RunLoopUntil([&] { return !process.Running(); }, timeout))
    return -1;
  if (output)
    *output = ReadFile(output_path);
  return process.ExitStatus().value_or(-1);
}

std::string ListenersOn(int port) {
  std::string sockets;
  RunToEnd({"ss", "-Hltn", "sport = :" + std::to_string(port)}, std::chrono::seconds(5), &sockets);
  return sockets;
}

std::unique_ptr<BackgroundProcess> StartApertium(int port) {
  if (!ListenersOn(port).empty())
    return nullptr;
  auto apy = std::make_unique<BackgroundProcess>(
      std::vector<std::string>{QUENSARY_SOURCE_DIR "/scripts/apertium-apy", std::to_string(port)});
  // APy loads its language pairs before it listens: a few seconds on a slow machine.
  if (!RunLoopUntil([&] { return !ListenersOn(port).empty(); }, std::chrono::seconds(60)))
    return nullptr;
  return apy;
}

}  // namespace quensary::testing
