#include "platform/glib/glib_main_queue.h"

#include <glib.h>

#include <memory>

#include "platform/glib/glib_ptr.h"

namespace quensary {
namespace {

gboolean RunOnce(gpointer data) {
  (*static_cast<MainQueue::Task*>(data))();
  return G_SOURCE_REMOVE;
}

void DeleteTask(gpointer data) {
  std::unique_ptr<MainQueue::Task>(static_cast<MainQueue::Task*>(data));
}

GSourcePtr AttachTimeout(std::chrono::milliseconds delay, MainQueue::Task task) {
  const auto ms = static_cast<guint>(delay.count() < 0 ? 0 : delay.count());
  GSourcePtr source(g_timeout_source_new(ms));
  g_source_set_priority(source.get(), G_PRIORITY_DEFAULT);
  g_source_set_callback(source.get(), RunOnce,
                        std::make_unique<MainQueue::Task>(std::move(task)).release(), DeleteTask);
  g_source_attach(source.get(), nullptr);
  return source;
}

// Keeps its own reference to the source, so cancelling after the task ran (and GLib let go of
// the source) is still safe: destroying a destroyed source does nothing.
class GlibPending final : public MainQueue::Pending {
 public:
  explicit GlibPending(GSourcePtr source) : source_(std::move(source)) {}
  void Cancel() override { g_source_destroy(source_.get()); }

 private:
  GSourcePtr source_;
};

}  // namespace

// NOTE: g_main_context_invoke would run the task at once when called on the main thread; posting
// must always defer, so both paths add a source to the default context (thread-safe, FIFO within
// one priority).
void GlibMainQueue::Post(Task task) {
  g_idle_add_full(G_PRIORITY_DEFAULT, RunOnce, std::make_unique<Task>(std::move(task)).release(),
                  DeleteTask);
}

void GlibMainQueue::PostAfter(std::chrono::milliseconds delay, Task task) {
  AttachTimeout(delay, std::move(task));
}

std::shared_ptr<MainQueue::Pending> GlibMainQueue::PostCancellableAfter(
    std::chrono::milliseconds delay, Task task) {
  return std::make_shared<GlibPending>(AttachTimeout(delay, std::move(task)));
}

}  // namespace quensary
