#pragma once

#include <webkit2/webkit2.h>

#include <chrono>
#include <memory>

#include "platform/key_store.h"
#include "protocol/settings_store.h"
#include "translate/engine_pool.h"

namespace quensary {

// The engine pages' way to a service that refuses a page's own requests (a cross-origin refusal)
// or needs a key: an engine page of the active engine fetches quensary://app/relay/<path>, and
// the program sends that request itself to <path> below the service's address that the active
// profile names (or the user gave it), over https or to this computer only, with the engine's key
// added from the key store, so that the key never enters a page. The answer comes back as the
// service gave it, at most kMaxRelayBytes, within kTimeLimit; redirects are not followed. The
// relay's own refusals and failures answer with the header X-Quensary-Relay (no-key, address,
// request, unreachable, time-out, too-large) and a text that says why (for a time-out, the time
// waited, such as "30 seconds"). A request from any other page, or for any
// other place, gets nothing (403, empty). Main thread only.
class EngineRelay : public std::enable_shared_from_this<EngineRelay> {
 public:
  static constexpr std::chrono::seconds kTimeLimit{30};

  // `time_limit` is kTimeLimit but in tests of slow services.
  EngineRelay(std::shared_ptr<EnginePool> engines, std::shared_ptr<SettingsStore> settings,
              std::shared_ptr<KeyStore> keys, std::chrono::seconds time_limit = kTimeLimit);

  // Answers one request of the relay's path; the answer may come later.
  void Serve(WebKitURISchemeRequest* request);

  struct Exchange;

 private:
  void Send(std::shared_ptr<Exchange> exchange);

  const std::shared_ptr<EnginePool> engines_;
  const std::shared_ptr<SettingsStore> settings_;
  const std::shared_ptr<KeyStore> keys_;
  const std::chrono::seconds time_limit_;
};

}  // namespace quensary
