#pragma once

#include <memory>
#include <string>

#include "overlay/desktop/overlay_view.h"
#include "protocol/settings_store.h"
#include "translate/engine_pool.h"
#include "web/web_obj.h"

namespace quensary {

// What the overlay page is told: its start values and the overlay's visibility from the
// settings, the caption lines, and whether it shows its grip. Held through std::shared_ptr; the
// page's own callbacks and the bus hold it weakly. Main thread only.
class OverlayPageFeed {
 public:
  OverlayPageFeed(std::shared_ptr<WebObj> page, std::shared_ptr<OverlayView> view,
                  std::shared_ptr<SettingsStore> settings, std::shared_ptr<EnginePool> engines);
  OverlayPageFeed(const OverlayPageFeed&) = delete;
  OverlayPageFeed& operator=(const OverlayPageFeed&) = delete;

  // The start values, and the overlay shown or hidden, from the current settings.
  void SendInit();
  // A page loaded afresh shows no grip and has no start values yet.
  void PageLoaded();
  // The caption lines of this session, as the bus carries them. Only what changes the overlay
  // reaches its page: each update costs the page a layout and the view a repaint of its own.
  void ShowLines(const std::string& lines_json);
  // The grip by which the window can be dragged.
  void ShowGrip(bool shown);
  // A zoomed page draws its own dark panel and takes a click on its grip as the way back.
  void ShowZoomed(bool zoomed);

 private:
  std::shared_ptr<WebObj> page_;
  std::shared_ptr<OverlayView> view_;
  std::shared_ptr<SettingsStore> settings_;
  std::shared_ptr<EnginePool> engines_;
  void MarkPage(const char* state_class, bool on);
  void SendLines();

  bool grip_shown_ = false;
  // The newest line list from the bus, and what of it the page was last sent.
  std::string lines_json_ = "[]";
  std::string sent_lines_;
};

}  // namespace quensary
