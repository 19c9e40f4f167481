#include "overlay/overlay_page_protocol.h"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary::OverlayPageProtocol {

using Setting = SettingsStore::Setting;

std::string InitJson(const SettingsStore& settings, const TranslatorProfilePtr& active) {
  const nlohmann::json init = {
      {SettingsStore::StorageKey(Setting::kOverlayShowA), settings.OverlayShowA()},
      {SettingsStore::StorageKey(Setting::kOverlayShowB), settings.OverlayShowB()},
      {SettingsStore::StorageKey(Setting::kOverlayNumberB), settings.OverlayNumberB()},
      {SettingsStore::StorageKey(Setting::kOverlayNumberA), settings.OverlayNumberA()},
      {SettingsStore::StorageKey(Setting::kOverlayString), settings.OverlayString()},
      {RevealText(Sealed::CurrentEngineName), active ? active->Name : std::string()},
      {SettingsStore::StorageKey(Setting::kMainWindowOnTop), settings.MainWindowOnTop()},
  };
  return init.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

std::string InitCall(const std::string& init_json) {
  return "    Init(" + init_json + ")";
}

std::string JuziCall(const std::string& lines_json) {
  return "Juzi(" + lines_json + ")";
}

bool Visible(const SettingsStore& settings) {
  return settings.OverlayShowA() || settings.OverlayShowB();
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
