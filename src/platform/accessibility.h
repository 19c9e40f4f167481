#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quensary {

// A point in screen coordinates: origin at the top-left corner of the screen, y growing downwards.
struct ScreenPoint {
  double x = 0;
  double y = 0;
};

class AccessibleElement;
using AccessibleElementPtr = std::shared_ptr<AccessibleElement>;
using AccessibleElements = std::vector<AccessibleElementPtr>;

// The text value and the position of one child, each absent when it cannot be read.
struct ChildValueAndPosition {
  std::optional<std::string> value;
  std::optional<ScreenPoint> position;
};

// More children than this are not read as rows: no caption container holds so many, and reading
// them would flood a broken provider with calls on every tick.
inline constexpr size_t kMaxChildReads = 1000;

// One element of another application's accessibility tree. Every read gives absent when it
// fails: the application is gone or too slow to answer, or the element lacks the attribute.
// An empty text counts as a failed read. Reads may be made from any thread.
class AccessibleElement {
 public:
  virtual ~AccessibleElement() = default;

  // The top-level windows of an application element.
  virtual std::optional<AccessibleElements> Windows() const = 0;
  virtual std::optional<AccessibleElements> Children() const = 0;
  virtual std::optional<std::string> Identifier() const = 0;
  virtual std::optional<std::string> Subrole() const = 0;
  // The element's text value.
  virtual std::optional<std::string> Value() const = 0;
  virtual std::optional<ScreenPoint> Position() const = 0;
  // Moves the element (a window) on screen; whether the platform took the request.
  virtual bool SetPosition(ScreenPoint position) = 0;
  // Iconifies a window or shows it again; whether the platform took the request. Only used where
  // moving a window off screen does not hide it.
  virtual bool SetMinimized(bool minimized);

  // The first descendant whose subrole is exactly `subrole`, in pre-order; the element itself is
  // never tested. The default walks the tree node by node (within the bounds of
  // FindFirstDescendantWithSubroleByWalk); a platform may answer it in one call, but must give the
  // same element.
  virtual AccessibleElementPtr FindFirstDescendantWithSubrole(std::string_view subrole) const;

  // The value and position of every direct child, in child order. Absent when the children
  // cannot be read, when there are more than kMaxChildReads of them, or when any read went
  // unanswered (the application stalled half-way): part of the rows is never taken for all of
  // them. The default asks child by child (the position only of a child with a value); a
  // platform may ask for all of them at once, with the same result.
  virtual std::optional<std::vector<ChildValueAndPosition>> ChildValuesAndPositions() const;

  // Whether both objects stand for the same element of the same application.
  virtual bool IsSameElement(const AccessibleElement& other) const = 0;
};

// The node-by-node search behind the default FindFirstDescendantWithSubrole: one read of the
// children and one of the subrole per node visited. A broken application may report a tree
// that is cyclic or endlessly deep, so the walk gives up (finding nothing) below
// kMaxWalkDepth levels or after kMaxWalkNodes nodes.
inline constexpr int kMaxWalkDepth = 64;
inline constexpr size_t kMaxWalkNodes = 5000;
AccessibleElementPtr FindFirstDescendantWithSubroleByWalk(const AccessibleElement& root,
                                                          std::string_view subrole);

// How a running application presents itself. An accessory application has windows but no
// taskbar entry. kUnknown: the desktop cannot tell (no X server to ask).
enum class ActivationPolicy { kRegular = 0, kAccessory = 1, kProhibited = 2, kUnknown = 3 };

struct RunningApplication {
  int32_t pid = 0;
  ActivationPolicy policy = ActivationPolicy::kUnknown;
};

// The desktop's accessibility interface: the running applications and their elements.
class Accessibility {
 public:
  virtual ~Accessibility() = default;

  // The applications that expose an accessibility tree, in the desktop's own order.
  virtual std::vector<RunningApplication> RunningApplications() = 0;
  // The application element of a process, or null when it exposes none.
  virtual AccessibleElementPtr ApplicationElement(int32_t pid) = 0;
  // Whether a window manager keeps windows on screen, so that a move far off screen does not
  // hide a window.
  virtual bool KeepsWindowsOnScreen() const = 0;

  // Change notices: asks the application that owns `element` (null: none) to report changed
  // texts, children and names, one application at a time; each of its notices runs the callback
  // of SetOnChange on the main thread. An application that sends none is only read when asked.
  // Any thread. The defaults send no notices.
  virtual void WatchChanges(const AccessibleElement* element);
  virtual void SetOnChange(std::function<void()> changed);
};

}  // namespace quensary
