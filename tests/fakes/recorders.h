#pragma once

#include <string>
#include <vector>

#include "platform/address_opener.h"
#include "platform/clipboard.h"
#include "platform/script_target.h"
#include "platform/window_control.h"

namespace quensary::testing {

// Seams that only record what the program asked of them, in order.
struct RecordingPage final : ScriptTarget {
  void RunJs(const std::string& script) override { scripts.push_back(script); }
  void RunJsAsync(const std::string& script, TextCallback done) override {
    scripts.push_back(script);
    done({});
  }
  std::vector<std::string> scripts;
};

struct RecordingWindow final : WindowControl {
  void Minimize() override { actions.push_back("minimize"); }
  void ToggleZoom() override { actions.push_back("zoom"); }
  void SetLevel(int level) override { actions.push_back("level " + std::to_string(level)); }
  void SetDragging(bool dragging) override { actions.push_back(dragging ? "drag on" : "drag off"); }
  std::vector<std::string> actions;
};

struct RecordingOpener final : AddressOpener {
  void Open(const std::string& address) override { opened.push_back(address); }
  std::vector<std::string> opened;
};

struct RecordingClipboard final : Clipboard {
  void SetText(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

}  // namespace quensary::testing
