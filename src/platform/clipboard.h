#pragma once

#include <string>

namespace quensary {

// The desktop clipboard (CLIPBOARD selection on Linux). Called on the main thread.
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Replaces the clipboard's content with the text (an empty text clears it).
  virtual void SetText(const std::string& text) = 0;
};

}  // namespace quensary
