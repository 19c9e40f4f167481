#pragma once

namespace quensary {

// What a page's window commands may do to the window that shows the page. Main thread only.
class WindowControl {
 public:
  // The window levels of the program: a normal window, one kept above others, and the overlay's
  // level above every other kept-above window.
  static constexpr int kNormalLevel = 0;
  static constexpr int kFloatingLevel = 3;
  static constexpr int kTopLevel = 1000;

  virtual ~WindowControl() = default;
  virtual void Minimize() = 0;
  // Maximizes the window, or restores it when it is maximized.
  virtual void ToggleZoom() = 0;
  virtual void SetLevel(int level) = 0;
  // `IsDraf`: whether a drag in the window's page moves the window.
  virtual void SetDragging(bool dragging) = 0;
};

}  // namespace quensary
