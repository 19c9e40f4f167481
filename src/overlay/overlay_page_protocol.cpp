#include "overlay/overlay_page_protocol.h"

#include <glib.h>

#include <algorithm>
#include <cmath>

namespace quensary::OverlayPageProtocol {

bool Visible(const SettingsStore& settings) {
  return settings.ShowOriginal() || settings.ShowTranslation();
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
