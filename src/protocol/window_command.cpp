#include "protocol/window_command.h"

#include "protocol/page_words.h"

namespace quensary {

void ApplyWindowCommand(WindowControl& window, std::string_view word) {
  const auto command = FromWord<WindowCommand>(word);
  if (!command)
    return;
  switch (*command) {
    case WindowCommand::kDragOn:
      window.SetDragging(true);
      break;
    case WindowCommand::kDragOff:
      window.SetDragging(false);
      break;
    case WindowCommand::kZoomToggle:
      window.ToggleZoom();
      break;
  }
}

}  // namespace quensary
