#pragma once

#include <gtk/gtk.h>

#include "platform/save_dialog.h"

namespace quensary {

// GtkFileChooserNative: the portal's dialog in a sandbox, GTK's own elsewhere. Main thread only.
class NativeSaveDialog final : public SaveDialog {
 public:
  // The window the dialogs belong to from now on (none at first); it must outlive them.
  void SetParent(GtkWindow* parent) { parent_ = parent; }
  void AskPath(const std::string& title, const std::string& suggested_name,
               std::function<void(std::optional<std::string>)> done) override;

 private:
  GtkWindow* parent_ = nullptr;
};

}  // namespace quensary
