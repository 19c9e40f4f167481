#include "overlay/overlay_placement.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace quensary::OverlayPlacement {
namespace {

// How far above the screen's bottom edge the overlay's room ends, as a share of the height, and
// the gap kept from the main window.
constexpr double kBottomMargin = 0.05;
constexpr double kGap = 16;

bool Overlap(double a, double a_len, double b, double b_len) {
  return a < b + b_len && b < a + a_len;
}

}  // namespace

ScreenRect FirstPlace(const ScreenRect& work, const ScreenRect& main, double width, double height) {
  width = std::min(width, work.width);
  ScreenRect place{std::round(work.x + (work.width - width) / 2), 0, width, height};
  const double bottom = work.y + work.height;
  place.y = std::round(bottom - height - work.height * kBottomMargin);
  if (Overlap(place.x, width, main.x, main.width) &&
      Overlap(place.y, height, main.y, main.height)) {
    if (main.y + main.height + kGap + height <= bottom)
      place.y = main.y + main.height + kGap;
    else if (main.y - kGap - height >= work.y)
      place.y = main.y - kGap - height;
  }
  place.y = std::max(work.y, place.y);
  return place;
}

std::optional<ScreenRect> KeptPlace(std::string_view places, std::string_view screen,
                                    const ScreenRect& work, double least_height) {
  const auto json = nlohmann::json::parse(places, nullptr, false);
  if (!json.is_object() || !json.contains(screen))
    return std::nullopt;
  const auto& kept = json[std::string(screen)];
  if (!kept.is_array() || kept.size() != 3 || !kept[0].is_number() || !kept[1].is_number() ||
      !kept[2].is_number() || kept[2].get<double>() <= 0)
    return std::nullopt;
  ScreenRect place{kept[0].get<double>(), kept[1].get<double>(),
                   std::min(kept[2].get<double>(), work.width), least_height};
  place.x = std::clamp(place.x, work.x, work.x + work.width - place.width);
  place.y = std::clamp(place.y, work.y, std::max(work.y, work.y + work.height - least_height));
  return place;
}

std::string WithPlace(std::string_view places, std::string_view screen, const ScreenRect& place) {
  auto json = nlohmann::json::parse(places, nullptr, false);
  if (!json.is_object())
    json = nlohmann::json::object();
  json[std::string(screen)] = {std::lround(place.x), std::lround(place.y),
                               std::lround(place.width)};
  return json.dump();
}

}  // namespace quensary::OverlayPlacement
