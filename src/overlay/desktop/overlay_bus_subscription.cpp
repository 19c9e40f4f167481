#include "overlay/desktop/overlay_bus_subscription.h"

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {

void SubscribeOverlayPage(LnsCenter& bus, std::shared_ptr<MainQueue> main_queue,
                          std::weak_ptr<OverlayPageFeed> feed) {
  bus.Subscribe(RevealText(Sealed::EventLinesChanged), false,
                [main_queue, feed](const LnsMessage& message) {
                  main_queue->Post([feed, text = message.str1] {
                    if (const auto held = feed.lock())
                      held->ShowLines(text);
                  });
                });
  bus.Subscribe(RevealText(Sealed::EventSettingsChanged), false,
                [main_queue, feed](const LnsMessage&) {
                  main_queue->Post([feed] {
                    if (const auto held = feed.lock())
                      held->SendInit();
                  });
                });
}

}  // namespace quensary
