#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/accessibility.h"

namespace quensary::testing {

// An element of an in-memory accessibility tree. Each attribute is absent unless the test sets
// it, so a failed read is modelled by leaving it out. It keeps the default node-by-node search
// and counts the reads of its children, so tests see what a search touched. One thread only.
class FakeElement final : public AccessibleElement {
 public:
  using Ptr = std::shared_ptr<FakeElement>;

  static Ptr Make() { return std::make_shared<FakeElement>(); }
  static Ptr Row(std::string value, std::optional<double> y) {
    auto row = Make();
    row->value = std::move(value);
    if (y)
      row->position = ScreenPoint{10, *y};
    return row;
  }
  // Appends a child (making the children list) and returns it.
  Ptr Add(Ptr child) {
    if (!children)
      children.emplace();
    children->push_back(child);
    return child;
  }

  std::optional<AccessibleElements> Windows() const override { return windows; }
  std::optional<AccessibleElements> Children() const override {
    ++children_reads;
    return children;
  }
  std::optional<std::string> Identifier() const override { return identifier; }
  std::optional<std::string> Subrole() const override { return subrole; }
  std::optional<std::string> Value() const override { return value; }
  std::optional<ScreenPoint> Position() const override { return position; }
  bool SetPosition(ScreenPoint point) override {
    actions.push_back("move " + std::to_string(static_cast<int>(point.x)) + "," +
                      std::to_string(static_cast<int>(point.y)));
    return true;
  }
  bool SetMinimized(bool minimized) override {
    actions.push_back(minimized ? "iconify" : "restore");
    return true;
  }
  bool IsSameElement(const AccessibleElement& other) const override { return &other == this; }

  std::optional<AccessibleElements> windows;
  std::optional<AccessibleElements> children;
  std::optional<std::string> identifier;
  std::optional<std::string> subrole;
  std::optional<std::string> value;
  std::optional<ScreenPoint> position;
  std::vector<std::string> actions;  // what was done to it: "move X,Y", "iconify", "restore"
  mutable int children_reads = 0;
};

// The running applications of an in-memory desktop, in the order the test adds them.
class FakeAccessibility final : public Accessibility {
 public:
  struct App {
    int32_t pid;
    ActivationPolicy policy;
    FakeElement::Ptr element;  // null: the process exposes no application element
  };

  // Adds an application with an element whose windows the test fills; returns the element.
  FakeElement::Ptr AddApp(int32_t pid, ActivationPolicy policy) {
    auto element = FakeElement::Make();
    element->windows.emplace();
    apps.push_back({pid, policy, element});
    return element;
  }

  std::vector<RunningApplication> RunningApplications() override {
    std::vector<RunningApplication> listed;
    for (const App& app : apps)
      listed.push_back({app.pid, app.policy});
    return listed;
  }
  AccessibleElementPtr ApplicationElement(int32_t pid) override {
    elements_asked.push_back(pid);
    for (const App& app : apps)
      if (app.pid == pid)
        return app.element;
    return nullptr;
  }
  bool KeepsWindowsOnScreen() const override { return keeps_windows_on_screen; }
  void WatchChanges(const AccessibleElement* element) override { watched = element; }
  void SetOnChange(std::function<void()> changed) override { on_change = std::move(changed); }

  std::vector<App> apps;
  const AccessibleElement* watched = nullptr;  // the element whose application is watched
  std::function<void()> on_change;             // a change notice of the watched application
  bool keeps_windows_on_screen = false;
  std::vector<int32_t> elements_asked;  // the pids whose element was asked for, in order
};

}  // namespace quensary::testing
