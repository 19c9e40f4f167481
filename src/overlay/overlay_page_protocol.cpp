#include "overlay/overlay_page_protocol.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace quensary::OverlayPageProtocol {

bool Visible(const SettingsStore& settings) {
  return settings.ShowOriginal() || settings.ShowTranslation();
}

std::string ShownLinesJson(std::string_view lines_json, const SettingsStore& settings) {
  const auto lines = nlohmann::json::parse(lines_json, nullptr, false);
  nlohmann::json shown = nlohmann::json::array();
  if (!lines.is_array())
    return shown.dump();
  const auto text = [](const nlohmann::json& line, const char* name, bool wanted) {
    const auto it = line.find(name);
    return wanted && it != line.end() && it->is_string() ? it->get<std::string>() : std::string();
  };
  const size_t first = lines.size() > kShownLines ? lines.size() - kShownLines : 0;
  for (size_t i = first; i < lines.size(); ++i) {
    const auto& line = lines[i];
    if (!line.is_object())
      continue;
    shown.push_back({{"Id", line.value("Id", nlohmann::json())},
                     {"Ori", text(line, "Ori", settings.ShowOriginal())},
                     {"Tar", text(line, "Tar", settings.ShowTranslation())},
                     {"Finish", line.value("Finish", false)}});
  }
  return shown.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool OnlyAddsText(std::string_view before, std::string_view after) {
  const auto old_lines = nlohmann::json::parse(before, nullptr, false);
  const auto new_lines = nlohmann::json::parse(after, nullptr, false);
  if (!old_lines.is_array() || !new_lines.is_array() || old_lines.size() != new_lines.size())
    return false;
  const auto text = [](const nlohmann::json& line, const char* name) {
    return line.is_object() ? line.value(name, std::string()) : std::string();
  };
  for (size_t i = 0; i < old_lines.size(); ++i) {
    const auto& old_line = old_lines[i];
    const auto& new_line = new_lines[i];
    if (!old_line.is_object() || !new_line.is_object() ||
        old_line.value("Id", nlohmann::json()) != new_line.value("Id", nlohmann::json()))
      return false;
    for (const char* name : {"Ori", "Tar"}) {
      if (!text(new_line, name).starts_with(text(old_line, name)))
        return false;
    }
  }
  return true;
}

std::optional<double> ParseContentHeight(std::string_view text) {
  if (text.empty() || g_ascii_isspace(text[0]) || text[0] == '\0')
    return std::nullopt;
  const std::string whole(text);
  char* end = nullptr;
  const double height = g_ascii_strtod(whole.c_str(), &end);
  // An infinite or undefined height would make the window vanish off the screen for good.
  if (end != whole.c_str() + whole.size() || !std::isfinite(height) || height <= 0)
    return std::nullopt;
  return height;
}

ScreenRect FrameForContentHeight(const ScreenRect& frame, double height,
                                 const ScreenRect& work_area) {
  ScreenRect next = frame;
  next.height = work_area.height > 0 ? std::min(height, work_area.height) : height;
  const double bottom = work_area.y + work_area.height;
  if (work_area.height > 0 && next.y + next.height > bottom)
    next.y = bottom - next.height;
  return next;
}

}  // namespace quensary::OverlayPageProtocol
