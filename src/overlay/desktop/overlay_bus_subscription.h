#pragma once

#include <memory>

#include "bus/lns_center.h"
#include "overlay/desktop/overlay_page_feed.h"
#include "platform/main_queue.h"

namespace quensary {

// Passes the bus's news for the overlay to its page, as tasks of the main thread: new caption
// lines of this session, and changed settings (start values and visibility). The bus keeps its
// subscriptions for ever, so they hold the feed weakly and fall silent once it has gone. Any
// thread.
void SubscribeOverlayPage(LnsCenter& bus, std::shared_ptr<MainQueue> main_queue,
                          std::weak_ptr<OverlayPageFeed> feed);

}  // namespace quensary
