#include "support/desktop/tools.h"

#include "platform/glib/gio_address_opener.h"
#include "platform/glib/glib_ptr.h"
#include "platform/glib/gobject_ref.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary::Tools {

void ShowWindowLater(MainQueue& main_queue, GtkWidget* window, bool floating) {
  main_queue.Post([held = GObjectRef<GtkWidget>::Share(window), floating] {
    gtk_widget_show(held.get());
    gtk_window_present(GTK_WINDOW(held.get()));
    if (floating)
      gtk_window_set_keep_above(GTK_WINDOW(held.get()), TRUE);
  });
}

void HideWindowLater(MainQueue& main_queue, GtkWidget* window) {
  main_queue.Post([held = GObjectRef<GtkWidget>::Share(window)] { gtk_widget_hide(held.get()); });
}

void OpenInBrowser(const std::string& address) {
  GioAddressOpener().Open(address);
}

void RaiseUpdateWindows() {
  const GListPtr windows(gtk_window_list_toplevels());
  for (GList* item = windows.get(); item; item = item->next) {
    GtkWidget* window = GTK_WIDGET(item->data);
    const std::string type = G_OBJECT_TYPE_NAME(window);
    const bool update_window =
        type.find(RevealText(Sealed::UpdateWindowTypeA)) != std::string::npos ||
        type.find(RevealText(Sealed::UpdateWindowTypeB)) != std::string::npos ||
        RevealText(Sealed::UpdateWindowIdentifier) == gtk_widget_get_name(window);
    if (!update_window)
      continue;
    gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
    gtk_window_present(GTK_WINDOW(window));
  }
}

}  // namespace quensary::Tools
