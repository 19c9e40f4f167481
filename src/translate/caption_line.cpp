#include "translate/caption_line.h"

#include <nlohmann/json.hpp>

namespace quensary {

std::string CaptionLinesJson(std::span<const CaptionLinePtr> lines) {
  // ordered_json keeps the members in insertion order; the pages rely on nothing else, but the
  // published text stays stable and readable.
  nlohmann::ordered_json array = nlohmann::ordered_json::array();
  for (const auto& line : lines) {
    nlohmann::ordered_json object;
    object["Id"] = line->Id;
    object["Ori"] = line->Ori;
    object["Finish"] = line->Finish;
    object["Tar"] = line->Tar;
    array.push_back(std::move(object));
  }
  return array.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace quensary
