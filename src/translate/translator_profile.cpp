#include "translate/translator_profile.h"

#include <glib.h>

#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>

#include "platform/glib/glib_ptr.h"

namespace quensary {
namespace {

using nlohmann::json;

// Reads a member that must be a JSON integer representable as int64. A fraction such as 250.5,
// and also 250.0, is a floating-point number to the parser and is refused.
std::optional<int64_t> IntegerMember(const json& object, const char* name, std::string& fault) {
  const auto it = object.find(name);
  if (it == object.end()) {
    fault = std::string("missing member ") + name;
    return std::nullopt;
  }
  if (it->is_number_unsigned()) {
    const auto value = it->get<uint64_t>();
    if (value > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      fault = std::string("member ") + name + " is out of range";
      return std::nullopt;
    }
    return static_cast<int64_t>(value);
  }
  if (!it->is_number_integer()) {
    fault = std::string("member ") + name + " is not an integer";
    return std::nullopt;
  }
  return it->get<int64_t>();
}

std::optional<std::string> TextMember(const json& object, const char* name, std::string& fault) {
  const auto it = object.find(name);
  if (it == object.end()) {
    fault = std::string("missing member ") + name;
    return std::nullopt;
  }
  if (!it->is_string()) {
    fault = std::string("member ") + name + " is not a string";
    return std::nullopt;
  }
  return it->get<std::string>();
}

std::string TextOr(const json& object, const char* name) {
  const auto it = object.find(name);
  return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::optional<RelayService> RelayFromJson(const json& profile) {
  const auto it = profile.find("Relay");
  if (it == profile.end() || !it->is_object())
    return std::nullopt;
  RelayService relay;
  relay.address = TextOr(*it, "Address");
  relay.key_header = TextOr(*it, "KeyHeader");
  relay.key_prefix = TextOr(*it, "KeyPrefix");
  relay.key_member = TextOr(*it, "KeyMember");
  const auto required = it->find("KeyRequired");
  relay.key_required = required != it->end() && required->is_boolean() && required->get<bool>();
  const auto by_key = it->find("KeyAddresses");
  if (by_key != it->end() && by_key->is_object()) {
    for (const auto& [ending, address] : by_key->items()) {
      if (address.is_string() && !ending.empty())
        relay.key_addresses[ending] = address.get<std::string>();
    }
  }
  return relay;
}

std::vector<std::string> OptionsFromJson(const json& profile) {
  std::vector<std::string> options;
  const auto it = profile.find("Options");
  if (it != profile.end() && it->is_array()) {
    for (const auto& option : *it) {
      if (option.is_string())
        options.push_back(option.get<std::string>());
    }
  }
  return options;
}

TranslatorProfilePtr ProfileFromJson(const json& value, std::string& fault) {
  if (!value.is_object()) {
    fault = "a profile is not an object";
    return nullptr;
  }
  const auto delay = IntegerMember(value, "Delay", fault);
  const auto cot = delay ? IntegerMember(value, "Cot", fault) : std::nullopt;
  if (!cot)
    return nullptr;
  TranslatorProfile profile;
  profile.Delay = *delay;
  profile.Cot = *cot;
  const std::pair<const char*, std::string*> texts[] = {
      {"Id", &profile.Id},   {"Name", &profile.Name},
      {"Url", &profile.Url}, {"BeforeJs", &profile.BeforeJs},
      {"Js", &profile.Js},
  };
  for (const auto& [name, field] : texts) {
    auto text = TextMember(value, name, fault);
    if (!text)
      return nullptr;
    *field = std::move(*text);
  }
  profile.Relay = RelayFromJson(value);
  profile.Options = OptionsFromJson(value);
  return std::make_shared<const TranslatorProfile>(std::move(profile));
}

// Parses JSON text; the parser's own description on failure (it also refuses invalid UTF-8).
std::optional<json> Parse(std::string_view text, std::string& fault) {
  try {
    return json::parse(text);
  } catch (const json::exception& error) {
    fault = error.what();
    return std::nullopt;
  }
}

}  // namespace

bool TranslatorProfile::TakesOption(std::string_view name) const {
  return std::find(Options.begin(), Options.end(), name) != Options.end();
}

TranslatorProfilePtr DecodeProfile(std::string_view text) {
  std::string fault;
  const auto value = Parse(text, fault);
  return value ? ProfileFromJson(*value, fault) : nullptr;
}

std::variant<TranslatorProfileList, std::string> DecodeProfileList(std::string_view text) {
  std::string fault;
  const auto value = Parse(text, fault);
  if (!value)
    return fault;
  if (!value->is_array())
    return std::string("the profile list is not an array");
  TranslatorProfileList profiles;
  profiles.reserve(value->size());
  for (size_t index = 0; index < value->size(); ++index) {
    auto profile = ProfileFromJson((*value)[index], fault);
    if (!profile)
      return "profile " + std::to_string(index) + ": " + fault;
    profiles.push_back(std::move(profile));
  }
  return profiles;
}

std::string EngineOption(std::string_view options_json, std::string_view engine_id,
                         std::string_view name) {
  const auto options = json::parse(options_json, nullptr, false);
  if (!options.is_object())
    return {};
  const auto engine = options.find(engine_id);
  return engine != options.end() && engine->is_object() ? TextOr(*engine, std::string(name).c_str())
                                                        : std::string();
}

std::string EnginePageAddress(const TranslatorProfile& profile, std::string_view options_json,
                              int64_t context_sentences) {
  std::string query;
  for (const char* name : {"address", "model"}) {
    if (!profile.TakesOption(name))
      continue;
    std::string value = EngineOption(options_json, profile.Id, name);
    if (value.empty() && std::string_view(name) == "address" && profile.Relay)
      value = profile.Relay->address;
    const GCharPtr escaped(g_uri_escape_string(value.c_str(), nullptr, FALSE));
    query += (query.empty() ? "" : "&") + std::string(name) + "=" + escaped.get();
  }
  if (profile.TakesOption("context"))
    query += (query.empty() ? "context=" : "&context=") + std::to_string(context_sentences);
  if (query.empty())
    return profile.Url;
  return profile.Url + (profile.Url.find('?') == std::string::npos ? "?" : "&") + query;
}

}  // namespace quensary
