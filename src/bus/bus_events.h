#pragma once

#include <functional>
#include <optional>
#include <string>

#include "bus/lns_center.h"

namespace quensary {

// The events the program's parts tell each other, as types; on the bus each is an
// `LnsMessage` under its sealed event name, as the design names them.

// The line list changed: the JSON array of every caption line, and apart from it the array of
// this session's lines when the list also holds lines restored from the history.
struct LinesChanged {
  std::string json;
  std::optional<std::string> session_json;
  const std::string& SessionJson() const { return session_json ? *session_json : json; }
};
// A display setting, or the active engine, changed.
struct SettingsChanged {};
// The user's own engine profile changed, or the page asked for it again.
struct UserLineChanged {};

void Publish(LnsCenter& bus, LinesChanged event);
void Publish(LnsCenter& bus, SettingsChanged event);
void Publish(LnsCenter& bus, UserLineChanged event);

// Calls `handler` on the bus's delivery thread for every later event of the type; it must only
// hand work on (to the main queue).
void OnEach(LnsCenter& bus, std::function<void(const LinesChanged&)> handler);
void OnEach(LnsCenter& bus, std::function<void(const SettingsChanged&)> handler);
void OnEach(LnsCenter& bus, std::function<void(const UserLineChanged&)> handler);

}  // namespace quensary
