#include "app/application.h"

#include <gtk/gtk.h>

#include "app/permission_window.h"
#include "app/program.h"
#include "platform/glib/glib_main_queue.h"
#include "platform/glib/gobject_ref.h"
#include "platform/gtk/gtk_color_scheme.h"

namespace quensary {
namespace {

constexpr char kApplicationId[] = "org.quensary.Quensary";

// What the application starts with, before the program exists.
struct Startup {
  std::shared_ptr<MainQueue> main_queue = std::make_shared<GlibMainQueue>();
  std::shared_ptr<WorkerQueue> background = std::make_shared<WorkerQueue>();
  GtkWidget* permission_window = nullptr;
};

void Activate(GtkApplication* application, gpointer data) {
  auto* startup = static_cast<Startup*>(data);
  if (startup->permission_window) {
    // Started again, or opened from the desktop: the main window comes forward, once it exists.
    if (const Program* program = RunningProgram(); program && program->StartupComplete)
      gtk_window_present(GTK_WINDOW(program->MainWindow));
    return;
  }
  // The installed icon carries the application id's name; uninstalled, GTK falls back quietly.
  gtk_window_set_default_icon_name(kApplicationId);
  FollowDesktopColorScheme();
  // Overlay scroll bars fade in and out after every scroll, drawing a frame each time: the recent
  // lines scroll at every new caption, so they would redraw the list dozens of times a second.
  g_object_set(gtk_settings_get_default(), "gtk-overlay-scrolling", FALSE, nullptr);
  startup->permission_window =
      NewPermissionWindow(application, startup->main_queue, startup->background);
  gtk_widget_show_all(startup->permission_window);
  // Hidden, not closed, once the program is composed: the application must not end with it.
  g_application_hold(G_APPLICATION(application));
  // The program is made, and its web process started and its pages loading, while the question
  // is being asked: once the answer is yes, only its windows are left to show. Queued before
  // the answer, and after the permission window has been mapped.
  startup->main_queue->Post([startup] {
    PrepareProgram({startup->main_queue, startup->background, nullptr});
  });
  WaitForPermission(startup->main_queue, [startup] {
    const Program& program = ComposeProgram({startup->main_queue, startup->background, nullptr},
                                            startup->permission_window);
    KeepPermissionHelpAbove(GTK_WINDOW(program.MainWindow), *startup->main_queue);
  });
}

}  // namespace

int RunApplication(int argc, char** argv) {
  // Lives until the process ends: the program never returns from here but through EndProcess.
  static Startup startup;
  const auto application = GObjectRef<GtkApplication>::Adopt(
      gtk_application_new(kApplicationId, G_APPLICATION_DEFAULT_FLAGS));
  g_signal_connect(application.get(), "activate", G_CALLBACK(Activate), &startup);
  return g_application_run(G_APPLICATION(application.get()), argc, argv);
}

}  // namespace quensary
