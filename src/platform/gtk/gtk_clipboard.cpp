#include "platform/gtk/gtk_clipboard.h"

#include <gtk/gtk.h>

namespace quensary {

void DesktopClipboard::SetText(const std::string& text) {
  GtkClipboard* clipboard = gtk_clipboard_get(GDK_SELECTION_CLIPBOARD);
  gtk_clipboard_set_text(clipboard, text.c_str(), static_cast<gint>(text.size()));
  // Hand the text to a clipboard manager, if one runs, so it outlives the program.
  gtk_clipboard_store(clipboard);
}

}  // namespace quensary
