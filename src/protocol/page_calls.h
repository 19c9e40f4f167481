#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "protocol/settings_store.h"

namespace quensary {

// Which page a call goes to: the main page's calls are indented by four spaces, the overlay
// page's are not, as each page has always received them.
enum class Page { kMain, kOverlay };

// How many of the newest lines the overlay page shows; the page takes it from the protocol
// script.
inline constexpr size_t kShownLines = 2;

// "Init(" + the start values + ")".
std::string InitCall(Page page, std::string_view init_json);
// "Juzi(" + the JSON array of the caption lines, verbatim + ")".
std::string JuziCall(Page page, std::string_view lines_json);

// The start values of each page: the display settings under their storage keys, and what else
// the page shows. The texts contain only ASCII; damaged bytes become U+FFFD.
std::string MainPageInitJson(const SettingsStore& settings, std::string_view version);
std::string OverlayPageInitJson(const SettingsStore& settings, std::string_view engine_name);

// The script the pages load before their own (served as protocol.js beside them): every setting
// with its storage key, default and range, every handler name and command word, the window
// buttons, copy modes, caption-source modes and the overlay's shown lines. The pages take their
// words and defaults from it.
std::string PageProtocolScript();

}  // namespace quensary
