#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quensary::Appcast {

// What the newest item of an appcast (an RSS feed of releases) offers.
struct Offer {
  std::string version;
  std::string notes;  // plain text: markup in the feed is never interpreted, only its text kept
  std::string link;   // an https address: the item's page, else its download
};

// The item with the highest version. Absent, with the reason in `why`, for a text that is not
// XML, a feed without items, an item without a well-formed version, or no https link.
std::optional<Offer> Read(std::string_view xml, std::string* why);

// Compares dotted version numbers ("1.10.0" > "1.9"; missing parts count as 0): negative, zero
// or positive. Absent when either is not decimal numbers separated by dots.
std::optional<int> CompareVersions(std::string_view a, std::string_view b);

}  // namespace quensary::Appcast
