#include "platform/glib/glib_main_queue.h"

#include <glib.h>

#include <memory>

namespace quensary {
namespace {

gboolean RunOnce(gpointer data) {
  (*static_cast<MainQueue::Task*>(data))();
  return G_SOURCE_REMOVE;
}

void DeleteTask(gpointer data) {
  std::unique_ptr<MainQueue::Task>(static_cast<MainQueue::Task*>(data));
}

}  // namespace

// NOTE: g_main_context_invoke would run the task at once when called on the main thread; posting
// must always defer, so both paths add a source to the default context (thread-safe, FIFO within
// one priority).
void GlibMainQueue::Post(Task task) {
  auto owned = std::make_unique<Task>(std::move(task));
  g_idle_add_full(G_PRIORITY_DEFAULT, RunOnce, owned.release(), DeleteTask);
}

void GlibMainQueue::PostAfter(std::chrono::milliseconds delay, Task task) {
  auto owned = std::make_unique<Task>(std::move(task));
  const auto ms = static_cast<guint>(delay.count() < 0 ? 0 : delay.count());
  g_timeout_add_full(G_PRIORITY_DEFAULT, ms, RunOnce, owned.release(), DeleteTask);
}

}  // namespace quensary
