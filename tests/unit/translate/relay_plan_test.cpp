#include "translate/relay_plan.h"

#include <gtest/gtest.h>

namespace quensary {
namespace {

TEST(RelayPlan, GoesOnlyBelowTheServicesAddressWithTheKeyWhereTheProfileSays) {
  RelayService deepl;
  deepl.address = "https://api.deepl.com";
  deepl.key_addresses = {{":fx", "https://api-free.deepl.com"}};
  deepl.key_header = "Authorization";
  deepl.key_prefix = "DeepL-Auth-Key ";
  deepl.key_required = true;
  RelayService libre;
  libre.address = "http://127.0.0.1:5000";
  libre.key_member = "api_key";
  const RelayRequest post{"POST", "/v2/translate?x=1", "application/json", R"({"q":"hi"})"};
  using K = std::optional<std::string>;
  const struct {
    const RelayService& service;
    std::string user_address;
    K key;
    RelayRequest request;
    std::string url;  // or the refusal's number
    std::string key_header;
    std::string body;
  } cases[] = {
      {deepl, "", "k:fx", post, "https://api-free.deepl.com/v2/translate?x=1",
       "DeepL-Auth-Key k:fx", post.body},
      {deepl, "", "k", post, "https://api.deepl.com/v2/translate?x=1", "DeepL-Auth-Key k",
       post.body},
      {deepl, "", std::nullopt, post, "0", "", ""},
      {deepl, "", "a\nb", post, "0", "", ""},
      {libre, "http://localhost:5000/", "k", post, "http://localhost:5000/v2/translate?x=1", "",
       R"({"api_key":"k","q":"hi"})"},
      {libre, "", "k", {"GET", "/languages", "", ""}, "http://127.0.0.1:5000/languages", "", ""},
      {libre, "", std::nullopt, post, "http://127.0.0.1:5000/v2/translate?x=1", "", post.body},
      // Plain http elsewhere, and user information that would hide the host: never.
      {libre, "http://192.0.2.1:5000", "k", post, "1", "", ""},
      {libre, "https://user@example.org", "k", post, "1", "", ""},
      // A path may not name another host, climb out of the address or be another method.
      {libre, "https://example.org/v1", "k", {"POST", "//evil.example/x", "", "{}"}, "2", "", ""},
      {libre, "https://example.org/v1", "k", {"POST", "/../x", "", "{}"}, "2", "", ""},
      {libre, "https://example.org/v1", "k", {"POST", "/x@evil.example", "", "{}"}, "2", "", ""},
      {libre, "https://example.org/v1", "k", {"PUT", "/x", "", "{}"}, "2", "", ""},
      {libre, "https://example.org/v1", "k", {"POST", "/x", "", "not json"}, "2", "", ""},
      {libre,
       "https://example.org/v1",
       std::nullopt,
       {"POST", "/chat", "", "{}"},
       "https://example.org/v1/chat",
       "",
       "{}"},
  };
  for (const auto& c : cases) {
    const auto planned = PlanRelay(c.service, c.user_address, c.key, c.request);
    if (const auto* refusal = std::get_if<RelayRefusal>(&planned)) {
      EXPECT_EQ(std::to_string(static_cast<int>(*refusal)), c.url) << c.request.path;
      continue;
    }
    const auto& plan = std::get<RelayPlan>(planned);
    EXPECT_EQ(plan.url, c.url);
    EXPECT_EQ(plan.body, c.body) << c.url;
    std::string key_header;
    for (const auto& [name, value] : plan.headers)
      key_header += name == "Authorization" ? value : "";
    EXPECT_EQ(key_header, c.key_header) << c.url;
  }
}

}  // namespace
}  // namespace quensary
