#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace quensary {

// The program's own pages (the main page, the overlay page, the offline engine page) are served
// under this scheme from the resource bundle built from pages/: quensary://app/<path> is the
// file pages/<path>, but for quensary://app/protocol.js, the words and defaults the pages share
// with the program, and quensary://app/engines/shipped.js, the texts of the shipped engine
// profiles (engines/*.json) by file name, both made by the program. Unknown paths, and every
// host but the program's own, answer 404.
inline constexpr char kPageScheme[] = "quensary";
inline constexpr char kPageHost[] = "app";

// Whether the address is one of the program's own pages: the page scheme with the program's host.
bool IsProgramPageAddress(const char* address);

// The address of one of the program's pages, e.g. PageAddress("engines/apertium.html").
std::string PageAddress(std::string_view path);

// The path under which the scheme answers through the engine relay (web/engine_relay.h), and
// the program's one relay; without one, the path answers 404.
inline constexpr char kRelayPath[] = "/relay/";
void SetRelayHandler(std::function<void(WebKitURISchemeRequest*)> handler);

// Answers a request of the scheme with a status, a content type, further headers and a body.
void RespondToPage(WebKitURISchemeRequest* request, unsigned status,
                   const std::string& content_type,
                   const std::map<std::string, std::string>& headers, std::string body);

// Serves the scheme in `context`. Call once per context, before its first load. The scheme is
// deliberately not registered as local: that would break same-origin fetches between its pages.
void RegisterPageScheme(WebKitWebContext* context);

}  // namespace quensary
