#include "app/application.h"

#include <gtk/gtk.h>

#include "app/permission_window.h"
#include "app/program.h"
#include "platform/glib/gobject_ref.h"

namespace quensary {
namespace {

constexpr char kApplicationId[] = "org.quensary.Quensary";

void Activate(GtkApplication* application, gpointer) {
  Program& program = TheProgram();
  if (program.PermissionWindow) {
    // Started again, or opened from the desktop: the main window comes forward, once it exists.
    if (program.StartupComplete && program.MainWindow)
      gtk_window_present(GTK_WINDOW(program.MainWindow));
    return;
  }
  // The installed icon carries the application id's name; uninstalled, GTK falls back quietly.
  gtk_window_set_default_icon_name(kApplicationId);
  program.PermissionWindow = NewPermissionWindow(application);
  gtk_widget_show_all(program.PermissionWindow);
  // Hidden, not closed, by window setup: the application must not end with it.
  g_application_hold(G_APPLICATION(application));
  WaitForPermission([] { WindowSetup(TheProgram()); });
}

}  // namespace

int RunApplication(int argc, char** argv) {
  const auto application = GObjectRef<GtkApplication>::Adopt(
      gtk_application_new(kApplicationId, G_APPLICATION_DEFAULT_FLAGS));
  g_signal_connect(application.get(), "activate", G_CALLBACK(Activate), nullptr);
  return g_application_run(G_APPLICATION(application.get()), argc, argv);
}

}  // namespace quensary
