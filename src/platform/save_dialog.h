#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quensary {

// The desktop's dialog that asks where to save a file. Main thread only.
class SaveDialog {
 public:
  virtual ~SaveDialog() = default;
  // Shows the dialog with `suggested_name` filled in; `done` gets the chosen path, or absent when
  // the user cancelled. An existing file is chosen only after the dialog's own confirmation.
  virtual void AskPath(const std::string& title, const std::string& suggested_name,
                       std::function<void(std::optional<std::string>)> done) = 0;
};

}  // namespace quensary
