#include "overlay/desktop/overlay_bus_subscription.h"

#include "bus/bus_events.h"

namespace quensary {

void SubscribeOverlayPage(LnsCenter& bus, std::shared_ptr<MainQueue> main_queue,
                          std::weak_ptr<OverlayPageFeed> feed) {
  OnEach(bus, [main_queue, feed](const LinesChanged& event) {
    main_queue->Post([feed, json = event.SessionJson()] {
      if (const auto held = feed.lock())
        held->ShowLines(json);
    });
  });
  OnEach(bus, [main_queue, feed](const SettingsChanged&) {
    main_queue->Post([feed] {
      if (const auto held = feed.lock())
        held->SendInit();
    });
  });
}

}  // namespace quensary
