#include "bus/bus_events.h"

#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary {

void Publish(LnsCenter& bus, LinesChanged event) {
  auto message = std::make_shared<LnsMessage>();
  message->str1 = std::move(event.json);
  if (event.session_json)
    message->strs1.push_back(std::move(*event.session_json));
  bus.Post(RevealText(Sealed::EventLinesChanged), std::move(message));
}

void Publish(LnsCenter& bus, SettingsChanged) {
  bus.Post(RevealText(Sealed::EventSettingsChanged), EmptyLnsMessage());
}

void Publish(LnsCenter& bus, UserLineChanged) {
  bus.Post(RevealText(Sealed::EventUserLineChanged), EmptyLnsMessage());
}

void OnEach(LnsCenter& bus, std::function<void(const LinesChanged&)> handler) {
  bus.Subscribe(RevealText(Sealed::EventLinesChanged), false,
                [handler = std::move(handler)](const LnsMessage& message) {
                  handler(LinesChanged{message.str1,
                                       message.strs1.empty()
                                           ? std::nullopt
                                           : std::optional<std::string>(message.strs1.front())});
                });
}

void OnEach(LnsCenter& bus, std::function<void(const SettingsChanged&)> handler) {
  bus.Subscribe(RevealText(Sealed::EventSettingsChanged), false,
                [handler = std::move(handler)](const LnsMessage&) { handler(SettingsChanged{}); });
}

void OnEach(LnsCenter& bus, std::function<void(const UserLineChanged&)> handler) {
  bus.Subscribe(RevealText(Sealed::EventUserLineChanged), false,
                [handler = std::move(handler)](const LnsMessage&) { handler(UserLineChanged{}); });
}

}  // namespace quensary
