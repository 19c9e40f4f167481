#include "support/window_command.h"

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {

void ApplyWindowCommand(WindowControl& window, std::string_view word) {
  if (word == RevealText(Sealed::WordDragOn))
    window.SetDragging(true);
  else if (word == RevealText(Sealed::WordDragOff))
    window.SetDragging(false);
  else if (word == RevealText(Sealed::WordZoomToggle))
    window.ToggleZoom();
}

}  // namespace quensary
