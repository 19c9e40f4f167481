#pragma once

#include "platform/clipboard.h"

namespace quensary {

// The CLIPBOARD selection of the default display. Main thread only.
class DesktopClipboard final : public Clipboard {
 public:
  void SetText(const std::string& text) override;
};

}  // namespace quensary
