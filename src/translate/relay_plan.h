#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "translate/translator_profile.h"

namespace quensary {

// What an engine page asks the relay for: quensary://app/relay/<path>, with a method and a body.
struct RelayRequest {
  std::string method;
  std::string path;  // what follows /relay, starting with "/"; the query included
  std::string content_type;
  std::string body;
};

// What the relay sends on the page's behalf.
struct RelayPlan {
  std::string url;
  std::string method;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

// Why the relay sends nothing.
enum class RelayRefusal {
  kNoKey,    // the engine needs a key and has none
  kAddress,  // the service's address is neither https nor on this computer
  kRequest,  // the request leaves the service's address, or is not one the relay makes
};

// A request body or an answer larger than this is refused.
inline constexpr size_t kMaxRelayBytes = 1 << 20;

// The service's address for these settings: the one the key's ending chooses, else the user's
// own address for the engine, else the profile's.
std::string RelayAddress(const RelayService& service, std::string_view user_address,
                         const std::optional<std::string>& key);

// Whether the relay may send captions and keys there: https, or plain http to this computer
// (127.0.0.1, ::1, localhost); no user information in the address.
bool IsRelayableAddress(std::string_view address);

// The request to send for a page's request: GET or POST below the service's address (the page
// names a path, never a host), with the page's content type and body, and the key in the header
// or the JSON member (of a POST's body) the profile names. Refused when anything would reach
// another place.
std::variant<RelayPlan, RelayRefusal> PlanRelay(const RelayService& service,
                                                std::string_view user_address,
                                                const std::optional<std::string>& key,
                                                const RelayRequest& request);

}  // namespace quensary
