#include "platform/gtk/gtk_save_dialog.h"

#include <memory>

#include "platform/glib/glib_ptr.h"
#include "platform/glib/gobject_ref.h"

namespace quensary {
namespace {

// What one open dialog holds until its answer: the dialog's only reference and the callback.
struct PendingSave {
  GObjectRef<GtkFileChooserNative> dialog;
  std::function<void(std::optional<std::string>)> done;
};

void OnResponse(GtkNativeDialog* dialog, gint response, gpointer data) {
  std::unique_ptr<PendingSave> pending(static_cast<PendingSave*>(data));
  std::optional<std::string> path;
  if (response == GTK_RESPONSE_ACCEPT) {
    const GCharPtr chosen(gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog)));
    if (chosen)
      path = chosen.get();
  }
  g_signal_handlers_disconnect_by_data(dialog, data);
  // The signal's emission holds the dialog until it returns, after `pending` let it go.
  pending->done(std::move(path));
}

}  // namespace

void NativeSaveDialog::AskPath(const std::string& title, const std::string& suggested_name,
                               std::function<void(std::optional<std::string>)> done) {
  GtkFileChooserNative* dialog = gtk_file_chooser_native_new(
      title.c_str(), parent_, GTK_FILE_CHOOSER_ACTION_SAVE, "_Save", "_Cancel");
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, TRUE);
  gtk_file_chooser_set_current_name(chooser, suggested_name.c_str());
  gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(dialog), TRUE);
  auto* pending = new PendingSave{GObjectRef<GtkFileChooserNative>::Adopt(dialog), std::move(done)};
  g_signal_connect(dialog, "response", G_CALLBACK(OnResponse), pending);
  gtk_native_dialog_show(GTK_NATIVE_DIALOG(dialog));
}

}  // namespace quensary
