#include "overlay/desktop/float_hover_monitor.h"

#include "overlay/desktop/overlay_bus_subscription.h"
#include "overlay/overlay_page_protocol.h"
#include "overlay/overlay_placement.h"
#include "protocol/page_words.h"
#include "protocol/window_command.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"
#include "web/float_window_control.h"
#include "web/web_obj_delegate.h"

namespace quensary {

FloatHoverMonitor::FloatHoverMonitor(LnsCenter& bus, std::shared_ptr<MainQueue> main_queue,
                                     std::shared_ptr<SettingsStore> settings,
                                     std::shared_ptr<EnginePool> engines,
                                     const WebObj* share_process_with)
    : settings_(settings),
      state_(std::make_shared<FloatState>()),
      page_(std::make_shared<WebObj>(main_queue)) {
  page_->PageUrl = RevealText(Sealed::OverlayPageAddress);
  page_->ProgramPagesOnly = true;
  WebObjDelegate::Options options;
  options.related = share_process_with;
  WebObjDelegate::Create(page_, options);
  view_ = std::make_shared<OverlayView>(page_->Widget(), [state = std::weak_ptr(state_)] {
    if (const auto held = state.lock())
      held->SetIsLock(!held->IsLock());
  });
  feed_ = std::make_shared<OverlayPageFeed>(page_, view_, std::move(settings), std::move(engines));
  SubscribeOverlayPage(bus, std::move(main_queue), feed_);

  // The page is handed out (OverlayWebObj) and may outlive the overlay: what it calls back holds
  // the overlay's parts weakly. Handlers are read at every call, so setting them after the page
  // has started loading is soon enough.
  page_->OnLoaded = [feed = std::weak_ptr(feed_)] {
    if (const auto held = feed.lock())
      held->PageLoaded();
  };
  auto control = std::make_shared<FloatWindowControl>(view_->Window());
  page_->Handlers[WordOf(PageHandler::kWindowCommand)] = [control](const std::string& word,
                                                                   const std::string&) {
    ApplyWindowCommand(*control, word);
  };
  page_->Handlers[WordOf(PageHandler::kContentHeight)] =
      [view = std::weak_ptr(view_)](const std::string& text, const std::string&) {
        const auto height = OverlayPageProtocol::ParseContentHeight(text);
        if (const auto held = view.lock(); held && height)
          held->FitContentHeight(*height);
      };

  // The state keeps its observers, so they may hold it by address.
  state_->Observe([state = state_.get(), view = std::weak_ptr(view_), feed = std::weak_ptr(feed_)] {
    const auto shown_view = view.lock();
    const auto shown_feed = feed.lock();
    if (!shown_view || !shown_feed)
      return;
    shown_view->RevealLockButton(state->Inarea());
    shown_view->ShowLocked(state->IsLock());
    // The page's grip shows while the window can be dragged by it.
    shown_feed->ShowGrip(state->Inarea() && !state->IsLock());
  });
  view_->OnZoomChanged([feed = std::weak_ptr(feed_)](bool zoomed) {
    if (const auto held = feed.lock())
      held->ShowZoomed(zoomed);
  });
  ticker_ = std::make_unique<HoverTicker>(view_, state_);
}

void FloatHoverMonitor::PlaceOnScreen(double main_width, double main_height) {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor)
    monitor = gdk_display_get_monitor(display, 0);
  if (!monitor)
    return;
  GdkRectangle geometry{}, work{};
  gdk_monitor_get_geometry(monitor, &geometry);
  gdk_monitor_get_workarea(monitor, &work);
  const ScreenRect screen{double(geometry.x), double(geometry.y), double(geometry.width),
                          double(geometry.height)};
  const ScreenRect area{double(work.x), double(work.y), double(work.width), double(work.height)};
  const char* model = gdk_monitor_get_model(monitor);
  const std::string name = model && *model ? model : "screen";
  const ScreenRect main{screen.x + (screen.width - main_width) / 2,
                        screen.y + (screen.height - main_height) / 2, main_width, main_height};
  const auto kept = OverlayPlacement::KeptPlace(settings_->OverlayPlaces(), name, area,
                                                OverlayView::kLeastHeight);
  view_->Place(
      kept ? *kept
           : OverlayPlacement::FirstPlace(area, main, OverlayView::kWidth, OverlayView::kHeight));
  view_->OnUserPlaced([settings = settings_, name](const ScreenRect& place) {
    settings->SetOverlayPlaces(OverlayPlacement::WithPlace(settings->OverlayPlaces(), name, place));
  });
}

}  // namespace quensary
