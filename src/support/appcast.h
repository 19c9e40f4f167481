#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quensary::Appcast {

// A feed is a few kilobytes; anything past this is not a feed of ours and is refused whole.
inline constexpr size_t kMaxFeedBytes = 1024 * 1024;
// Release notes longer than this are cut (on a character boundary, ending in "…"): a window
// must never have to lay out megabytes of text.
inline constexpr size_t kMaxNotesBytes = 16 * 1024;

// What the newest item of an appcast (an RSS feed of releases) offers.
struct Offer {
  std::string version;
  std::string notes;  // plain text: markup in the feed is never interpreted, only its text kept
  bool notes_cut = false;  // the notes were longer than kMaxNotesBytes
  std::string notes_link;  // an https address of the whole notes: their own page, else `link`
  std::string link;        // an https address: the item's page, else its download
};

// The usable item with the highest version; an item without a well-formed version or without
// an https link is skipped. Absent, with the reason in `why`, for a text that is not XML, is
// larger than kMaxFeedBytes or declares a document type (a feed never needs one, and its
// entities could multiply the text without bound), or a feed without a usable item.
std::optional<Offer> Read(std::string_view xml, std::string* why);

// Compares dotted version numbers ("1.10.0" > "1.9"; missing parts count as 0): negative, zero
// or positive. Absent when either is not decimal numbers separated by dots.
std::optional<int> CompareVersions(std::string_view a, std::string_view b);

}  // namespace quensary::Appcast
