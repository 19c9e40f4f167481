#pragma once

#include <string>
#include <vector>

#include "platform/clipboard.h"

namespace quensary::testing {

// Keeps every text put on the clipboard.
class RecordingClipboard final : public Clipboard {
 public:
  void SetText(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

}  // namespace quensary::testing
