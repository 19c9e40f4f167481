#include "translate/relay_plan.h"

#include <glib.h>

#include <nlohmann/json.hpp>

#include "platform/glib/glib_ptr.h"

namespace quensary {
namespace {

bool HasControlCharacters(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '\x7f')
      return true;
  }
  return false;
}

// A path the page may ask for: absolute, no second slash at its start (which would name a host),
// no dot segments that climb out of the service's own path, nothing a URL would read otherwise.
bool IsPlainPath(std::string_view path) {
  if (path.empty() || path[0] != '/' || path.starts_with("//") || HasControlCharacters(path))
    return false;
  const std::string_view before_query = path.substr(0, path.find('?'));
  for (const std::string_view bad : {"/../", "/./", "\\", "#", " ", "%2e", "%2E", "@"}) {
    if (before_query.find(bad) != std::string_view::npos)
      return false;
  }
  return !before_query.ends_with("/..") && !before_query.ends_with("/.");
}

GUriPtr Parse(std::string_view address) {
  return GUriPtr(g_uri_parse(std::string(address).c_str(), G_URI_FLAGS_NONE, nullptr));
}

}  // namespace

std::string RelayAddress(const RelayService& service, std::string_view user_address,
                         const std::optional<std::string>& key) {
  if (key) {
    for (const auto& [ending, address] : service.key_addresses) {
      if (key->ends_with(ending))
        return address;
    }
  }
  return user_address.empty() ? service.address : std::string(user_address);
}

bool IsRelayableAddress(std::string_view address) {
  const auto uri = Parse(address);
  if (!uri || g_uri_get_userinfo(uri.get()) || !g_uri_get_host(uri.get()))
    return false;
  const std::string scheme = g_uri_get_scheme(uri.get());
  const std::string host = g_uri_get_host(uri.get());
  if (scheme == "https")
    return !host.empty();
  return scheme == "http" && (host == "127.0.0.1" || host == "::1" || host == "localhost");
}

std::variant<RelayPlan, RelayRefusal> PlanRelay(const RelayService& service,
                                                std::string_view user_address,
                                                const std::optional<std::string>& key,
                                                const RelayRequest& request) {
  const bool has_key = key && !key->empty();
  if (has_key && HasControlCharacters(*key))
    return RelayRefusal::kNoKey;
  if (service.key_required && !has_key)
    return RelayRefusal::kNoKey;
  const std::string address = RelayAddress(service, user_address, key);
  if (!IsRelayableAddress(address))
    return RelayRefusal::kAddress;
  if ((request.method != "GET" && request.method != "POST") || !IsPlainPath(request.path) ||
      request.body.size() > kMaxRelayBytes || HasControlCharacters(request.content_type))
    return RelayRefusal::kRequest;

  RelayPlan plan;
  plan.method = request.method;
  plan.url = address;
  while (plan.url.ends_with('/'))
    plan.url.pop_back();
  plan.url += request.path;
  // Whatever the path holds, the request must go where the address says.
  const auto base = Parse(address);
  const auto target = Parse(plan.url);
  if (!target || g_strcmp0(g_uri_get_scheme(base.get()), g_uri_get_scheme(target.get())) != 0 ||
      g_strcmp0(g_uri_get_host(base.get()), g_uri_get_host(target.get())) != 0 ||
      g_uri_get_port(base.get()) != g_uri_get_port(target.get()) ||
      g_uri_get_userinfo(target.get()))
    return RelayRefusal::kRequest;

  plan.body = request.body;
  if (!request.content_type.empty())
    plan.headers.emplace_back("Content-Type", request.content_type);
  // A key that travels in the body goes into the JSON bodies of POSTs; a GET carries none.
  if (has_key && !service.key_member.empty() && request.method == "POST") {
    auto body = nlohmann::json::parse(request.body, nullptr, false);
    if (!body.is_object())
      return RelayRefusal::kRequest;
    body[service.key_member] = *key;
    plan.body = body.dump();
  }
  if (has_key && !service.key_header.empty())
    plan.headers.emplace_back(service.key_header, service.key_prefix + *key);
  return plan;
}

}  // namespace quensary
