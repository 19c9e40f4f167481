#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/accessibility.h"

struct xcb_connection_t;

namespace quensary {

// What the X11 server tells about other applications' top-level windows: which processes keep
// out of the taskbar (the accessory policy), whether a window manager runs, the accessibility
// bus address it announces, iconifying or mapping a window of another process, and whether a
// kept-above window stands over a given one.
//
// It talks XCB on a connection of its own rather than Xlib: XCB reports a vanished window as a
// value, where Xlib would call the process-wide error handler, which GDK owns in this program.
// Safe to use from any thread.
class X11Desktop {
 public:
  // Connects to $DISPLAY; null when there is no X server to talk to.
  static std::shared_ptr<X11Desktop> Connect();
  ~X11Desktop();
  X11Desktop(const X11Desktop&) = delete;
  X11Desktop& operator=(const X11Desktop&) = delete;

  // The policy of every process that has a top-level window: accessory when every one of its
  // top-level windows carries _NET_WM_STATE_SKIP_TASKBAR, regular otherwise. Top-level windows
  // are the window manager's clients where one runs (iconified ones included), else the mapped,
  // not override-redirect children of the root; GTK's never-mapped leader window is neither.
  std::unordered_map<int32_t, ActivationPolicy> PoliciesByPid();

  // Whether the connection still works (false once the X server has gone).
  bool Usable();

  // Whether a window manager announces itself (_NET_SUPPORTING_WM_CHECK, not stale).
  bool HasWindowManager();

  // The accessibility bus address in the root window's AT_SPI_BUS property.
  std::optional<std::string> AccessibilityBusAddress();

  // Iconifies, or maps again, the top-level window of pid that carries title (the only one of
  // pid when it has a single window). Whether such a window was found and asked.
  bool Iconify(int32_t pid, std::string_view title);
  bool Restore(int32_t pid, std::string_view title);

  // Whether a window that the window manager keeps above others (_NET_WM_STATE_ABOVE) is stacked
  // over `window` (_NET_CLIENT_LIST_STACKING). False when `window` is not one of its clients.
  bool KeptAboveOver(uint32_t window);

 private:
  struct TopLevel {
    uint32_t window;
    int32_t pid;
    bool skip_taskbar;
  };

  explicit X11Desktop(xcb_connection_t* connection, int screen);
  bool UsableLocked();
  uint32_t Atom(const char* name);
  bool HasWindowManagerLocked();
  std::vector<TopLevel> TopLevelsLocked();
  std::optional<uint32_t> WindowOfLocked(int32_t pid, std::string_view title);

  std::mutex mutex_;
  xcb_connection_t* connection_;
  uint32_t root_ = 0;
  std::unordered_map<std::string, uint32_t> atoms_;
};

}  // namespace quensary
