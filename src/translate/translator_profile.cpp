#include "translate/translator_profile.h"

#include <limits>
#include <nlohmann/json.hpp>
#include <optional>

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

TranslatorProfilePtr ProfileFromJson(const json& value, std::string& fault) {
  if (!value.is_object()) {
    fault = "a profile is not an object";
    return nullptr;
  }
  const auto delay = IntegerMember(value, "Delay", fault);
  const auto cot = delay ? IntegerMember(value, "Cot", fault) : std::nullopt;
  if (!cot)
    return nullptr;
  TranslatorProfile profile{*delay, *cot, {}, {}, {}, {}, {}};
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

}  // namespace quensary
