#include "platform/x11/x11_desktop.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace quensary {
namespace {

// XCB replies are malloc'ed.
template <typename T>
struct FreeReply {
  void operator()(T* reply) const { std::free(reply); }
};
template <typename T>
using ReplyPtr = std::unique_ptr<T, FreeReply<T>>;

constexpr uint32_t kIconicState = 3;

std::string PropertyText(xcb_get_property_reply_t* reply) {
  if (!reply || reply->format != 8)
    return {};
  const auto* data = static_cast<const char*>(xcb_get_property_value(reply));
  return std::string(data, static_cast<size_t>(xcb_get_property_value_length(reply)));
}

}  // namespace

std::shared_ptr<X11Desktop> X11Desktop::Connect() {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display)
    return nullptr;
  int screen = 0;
  xcb_connection_t* connection = xcb_connect(display, &screen);
  if (xcb_connection_has_error(connection)) {
    xcb_disconnect(connection);
    return nullptr;
  }
  return std::shared_ptr<X11Desktop>(new X11Desktop(connection, screen));
}

X11Desktop::X11Desktop(xcb_connection_t* connection, int screen) : connection_(connection) {
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection_));
  for (int i = 0; i < screen && it.rem; ++i)
    xcb_screen_next(&it);
  if (it.rem)
    root_ = it.data->root;
}

X11Desktop::~X11Desktop() {
  xcb_disconnect(connection_);
}

bool X11Desktop::Usable() {
  std::lock_guard lock(mutex_);
  return UsableLocked();
}

bool X11Desktop::UsableLocked() {
  return root_ != 0 && !xcb_connection_has_error(connection_);
}

uint32_t X11Desktop::Atom(const char* name) {
  if (const auto it = atoms_.find(name); it != atoms_.end())
    return it->second;
  const auto cookie =
      xcb_intern_atom(connection_, 0, static_cast<uint16_t>(std::strlen(name)), name);
  ReplyPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection_, cookie, nullptr));
  if (!reply)
    return XCB_ATOM_NONE;
  atoms_[name] = reply->atom;
  return reply->atom;
}

bool X11Desktop::HasWindowManager() {
  std::lock_guard lock(mutex_);
  return UsableLocked() && HasWindowManagerLocked();
}

bool X11Desktop::HasWindowManagerLocked() {
  const uint32_t check = Atom("_NET_SUPPORTING_WM_CHECK");
  auto read_check = [&](uint32_t window) -> std::optional<uint32_t> {
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, check, XCB_ATOM_WINDOW, 0, 1),
        nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) < 4)
      return std::nullopt;
    return *static_cast<uint32_t*>(xcb_get_property_value(reply.get()));
  };
  // The window manager's check window names itself; a stale root property from a window manager
  // that has gone points at a window that no longer exists.
  const auto child = read_check(root_);
  return child && read_check(*child) == child;
}

std::optional<std::string> X11Desktop::AccessibilityBusAddress() {
  std::lock_guard lock(mutex_);
  if (!UsableLocked())
    return std::nullopt;
  ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection_,
      xcb_get_property(connection_, 0, root_, Atom("AT_SPI_BUS"), XCB_ATOM_STRING, 0, 1024),
      nullptr));
  std::string address = PropertyText(reply.get());
  if (address.empty())
    return std::nullopt;
  return address;
}

std::vector<X11Desktop::TopLevel> X11Desktop::TopLevelsLocked() {
  std::vector<uint32_t> windows;
  if (HasWindowManagerLocked()) {
    ReplyPtr<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, root_, Atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 0, 4096),
        nullptr));
    if (reply && reply->format == 32) {
      const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
      windows.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
    }
  } else {
    ReplyPtr<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection_, xcb_query_tree(connection_, root_), nullptr));
    if (!tree)
      return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    // All requests go out before the first reply is awaited: one round trip in all.
    std::vector<xcb_get_window_attributes_cookie_t> cookies;
    for (int i = 0; i < count; ++i)
      cookies.push_back(xcb_get_window_attributes(connection_, children[i]));
    for (int i = 0; i < count; ++i) {
      ReplyPtr<xcb_get_window_attributes_reply_t> attributes(
          xcb_get_window_attributes_reply(connection_, cookies[i], nullptr));
      if (attributes && !attributes->override_redirect &&
          attributes->map_state == XCB_MAP_STATE_VIEWABLE)
        windows.push_back(children[i]);
    }
  }

  const uint32_t pid_atom = Atom("_NET_WM_PID");
  const uint32_t state_atom = Atom("_NET_WM_STATE");
  const uint32_t skip_taskbar = Atom("_NET_WM_STATE_SKIP_TASKBAR");
  std::vector<std::pair<xcb_get_property_cookie_t, xcb_get_property_cookie_t>> cookies;
  for (const uint32_t window : windows) {
    cookies.emplace_back(
        xcb_get_property(connection_, 0, window, pid_atom, XCB_ATOM_CARDINAL, 0, 1),
        xcb_get_property(connection_, 0, window, state_atom, XCB_ATOM_ATOM, 0, 64));
  }
  std::vector<TopLevel> top_levels;
  for (size_t i = 0; i < windows.size(); ++i) {
    ReplyPtr<xcb_get_property_reply_t> pid(
        xcb_get_property_reply(connection_, cookies[i].first, nullptr));
    ReplyPtr<xcb_get_property_reply_t> state(
        xcb_get_property_reply(connection_, cookies[i].second, nullptr));
    if (!pid || pid->format != 32 || xcb_get_property_value_length(pid.get()) < 4)
      continue;
    TopLevel top{windows[i],
                 static_cast<int32_t>(*static_cast<uint32_t*>(xcb_get_property_value(pid.get()))),
                 false};
    if (state && state->format == 32) {
      const auto* atoms = static_cast<const uint32_t*>(xcb_get_property_value(state.get()));
      const int n = xcb_get_property_value_length(state.get()) / 4;
      for (int k = 0; k < n; ++k)
        top.skip_taskbar = top.skip_taskbar || atoms[k] == skip_taskbar;
    }
    top_levels.push_back(top);
  }
  return top_levels;
}

std::unordered_map<int32_t, ActivationPolicy> X11Desktop::PoliciesByPid() {
  std::lock_guard lock(mutex_);
  std::unordered_map<int32_t, ActivationPolicy> policies;
  if (!UsableLocked())
    return policies;
  for (const TopLevel& top : TopLevelsLocked()) {
    auto [it, inserted] = policies.try_emplace(top.pid, ActivationPolicy::kAccessory);
    if (!top.skip_taskbar)
      it->second = ActivationPolicy::kRegular;
  }
  return policies;
}

std::optional<uint32_t> X11Desktop::WindowOfLocked(int32_t pid, std::string_view title) {
  std::vector<uint32_t> candidates;
  for (const TopLevel& top : TopLevelsLocked()) {
    if (top.pid == pid)
      candidates.push_back(top.window);
  }
  if (candidates.size() == 1)
    return candidates.front();
  const uint32_t name_atom = Atom("_NET_WM_NAME");
  const uint32_t utf8 = Atom("UTF8_STRING");
  for (const uint32_t window : candidates) {
    ReplyPtr<xcb_get_property_reply_t> name(xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, name_atom, utf8, 0, 1024), nullptr));
    if (PropertyText(name.get()) == title)
      return window;
  }
  return std::nullopt;
}

bool X11Desktop::Iconify(int32_t pid, std::string_view title) {
  std::lock_guard lock(mutex_);
  if (!UsableLocked())
    return false;
  const auto window = WindowOfLocked(pid, title);
  if (!window)
    return false;
  // What XIconifyWindow does: ask the window manager through a WM_CHANGE_STATE message.
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = *window;
  event.type = Atom("WM_CHANGE_STATE");
  event.data.data32[0] = kIconicState;
  xcb_send_event(connection_, 0, root_,
                 XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
  return xcb_flush(connection_) > 0;
}

bool X11Desktop::Restore(int32_t pid, std::string_view title) {
  std::lock_guard lock(mutex_);
  if (!UsableLocked())
    return false;
  const auto window = WindowOfLocked(pid, title);
  if (!window)
    return false;
  // Mapping an iconified client asks the window manager to show it again.
  xcb_map_window(connection_, *window);
  return xcb_flush(connection_) > 0;
}

bool X11Desktop::KeptAboveOver(uint32_t window) {
  std::lock_guard lock(mutex_);
  if (!UsableLocked())
    return false;
  ReplyPtr<xcb_get_property_reply_t> stacking(xcb_get_property_reply(
      connection_,
      xcb_get_property(connection_, 0, root_, Atom("_NET_CLIENT_LIST_STACKING"), XCB_ATOM_WINDOW, 0,
                       4096),
      nullptr));
  if (!stacking || stacking->format != 32)
    return false;
  // The list runs from the bottom up: the windows after this one are stacked over it.
  const auto* windows = static_cast<const uint32_t*>(xcb_get_property_value(stacking.get()));
  const auto* end = windows + xcb_get_property_value_length(stacking.get()) / 4;
  const auto* own = std::find(windows, end, window);
  if (own == end)
    return false;
  const uint32_t state_atom = Atom("_NET_WM_STATE");
  const uint32_t above = Atom("_NET_WM_STATE_ABOVE");
  // All requests go out before the first reply is awaited: one round trip in all.
  std::vector<xcb_get_property_cookie_t> cookies;
  for (const auto* over = own + 1; over != end; ++over)
    cookies.push_back(xcb_get_property(connection_, 0, *over, state_atom, XCB_ATOM_ATOM, 0, 64));
  bool kept_above = false;
  for (const auto cookie : cookies) {
    // A window closed since the list was read answers with an error, which is no reply here.
    ReplyPtr<xcb_get_property_reply_t> state(xcb_get_property_reply(connection_, cookie, nullptr));
    if (!state || state->format != 32)
      continue;
    const auto* atoms = static_cast<const uint32_t*>(xcb_get_property_value(state.get()));
    const auto* atoms_end = atoms + xcb_get_property_value_length(state.get()) / 4;
    kept_above = kept_above || std::find(atoms, atoms_end, above) != atoms_end;
  }
  return kept_above;
}

}  // namespace quensary
