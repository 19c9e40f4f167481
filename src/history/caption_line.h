#pragma once

#include <memory>
#include <span>
#include <string>

namespace quensary {

// One caption sentence with its translation. Lines are shared: the line list holds references
// and every update is made in place on the listed object, by whoever holds `LineLock`.
struct CaptionLine {
  CaptionLine(std::string id, std::string ori, bool finish, std::string tar)
      : Id(std::move(id)), Ori(std::move(ori)), Finish(finish), Tar(std::move(tar)) {}

  // The creation time as sortable text; never changed. The key for translations, deletions
  // and the history row.
  const std::string Id;
  std::string Ori;
  bool Finish;
  std::string Tar;
  // Why the latest translation of the line failed, in words; empty when it did not. Shown, never
  // stored: the history keeps the translation only.
  std::string Fail;
};

using CaptionLinePtr = std::shared_ptr<CaptionLine>;

// The list as compact JSON for the pages: an array of objects with the members "Id", "Ori",
// "Finish" and "Tar" in that order, and "Fail" after them for a line whose translation failed
// ("[]" when empty). Non-ASCII text is kept as UTF-8; byte
// sequences that are not UTF-8 become U+FFFD, so a damaged text never stops the publication.
// The result is also a valid script expression, as the pages receive it inside a call.
// Written by hand rather than through a JSON document: it runs on every caption tick with up to
// 70 lines under `LineLock`, and an nlohmann/json document of 70 lines took 65 to 100 us to
// build and dump, more than the whole tick may take (bench/caption_event_bench).
std::string CaptionLinesJson(std::span<const CaptionLinePtr> lines);

}  // namespace quensary
