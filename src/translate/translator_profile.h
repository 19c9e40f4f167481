#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quensary {

// Where the program's relay (web/engine_relay.h) may send an engine page's requests, and how it
// adds the engine's key, which the page never sees. From the profile's optional "Relay" member:
//   {"Address": "https://api.deepl.com", "KeyAddresses": {":fx": "https://api-free.deepl.com"},
//    "KeyHeader": "Authorization", "KeyPrefix": "DeepL-Auth-Key ", "KeyMember": "api_key",
//    "KeyRequired": true}
struct RelayService {
  std::string address;  // the service, unless the user gave the engine an address of their own
  // A key ending in the first text goes to the second address, whatever else was given (as a
  // service that tells its free keys by their ending documents).
  std::map<std::string, std::string> key_addresses;
  std::string key_header;  // the header that carries the key, if any ...
  std::string key_prefix;  // ... after this text
  std::string key_member;  // the member of a JSON body that carries the key, if any
  bool key_required = false;
};

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
  // Optional members, read leniently (a malformed one counts as absent, so that a profile the
  // main page reads still works): the relay, and which settings the user gives the engine in
  // the main page ("Options": ["address", "model", "key"]).
  std::optional<RelayService> Relay;
  std::vector<std::string> Options;

  bool TakesOption(std::string_view name) const;
};

using TranslatorProfilePtr = std::shared_ptr<const TranslatorProfile>;
using TranslatorProfileList = std::vector<TranslatorProfilePtr>;

// One profile from its JSON object text. Decoding is strict: all seven members must be present,
// "Delay" and "Cot" JSON integers within 64 bits, the others JSON strings; the optional members
// above are read when they are well formed, other members are ignored. Null for anything else.
TranslatorProfilePtr DecodeProfile(std::string_view text);

// A JSON array of profiles, in array order. One unreadable element makes the whole array
// unreadable; the alternative then holds a description of the first fault.
std::variant<TranslatorProfileList, std::string> DecodeProfileList(std::string_view text);

// The options the user gave an engine, from the engine-options setting (a JSON object of engine
// Ids, each an object of option names and texts): the text, or the empty text.
std::string EngineOption(std::string_view options_json, std::string_view engine_id,
                         std::string_view name);

// The address an engine page is loaded from: the profile's Url, with the options it takes that
// a page may know (address, model, context: never the key) as query parameters, so that its page
// can name its server and model and knows how many finished sentences to send along. The address
// defaults to the relay's.
std::string EnginePageAddress(const TranslatorProfile& profile, std::string_view options_json,
                              int64_t context_sentences);

}  // namespace quensary
