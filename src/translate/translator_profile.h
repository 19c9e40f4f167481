#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quensary {

// One web translation engine: the page to open, the scripts that make its `trans` function
// usable, how many pages to open and how often unforced requests may reach it. Shared and never
// changed once decoded, so the profile list and the active profile may hold the same object.
struct TranslatorProfile {
  int64_t Delay = 0;  // milliseconds between two unforced requests
  int64_t Cot = 0;    // number of engine pages to open
  std::string Id;
  std::string Name;
  std::string Url;
  std::string BeforeJs;  // injected at document start
  std::string Js;        // run after every navigation of an engine page
};

using TranslatorProfilePtr = std::shared_ptr<const TranslatorProfile>;
using TranslatorProfileList = std::vector<TranslatorProfilePtr>;

// One profile from its JSON object text. Decoding is strict: all seven members must be present,
// "Delay" and "Cot" JSON integers within 64 bits, the others JSON strings; extra members are
// ignored. Null for anything else.
TranslatorProfilePtr DecodeProfile(std::string_view text);

// A JSON array of profiles, in array order. One unreadable element makes the whole array
// unreadable; the alternative then holds a description of the first fault.
std::variant<TranslatorProfileList, std::string> DecodeProfileList(std::string_view text);

}  // namespace quensary
