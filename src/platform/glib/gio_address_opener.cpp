#include "platform/glib/gio_address_opener.h"

#include <gio/gio.h>

#include "platform/glib/glib_ptr.h"

namespace quensary {

bool GioAddressOpener::IsOpenable(const std::string& address) {
  const GUriPtr uri(g_uri_parse(address.c_str(), G_URI_FLAGS_NONE, nullptr));
  if (!uri)
    return false;
  const std::string scheme = g_uri_get_scheme(uri.get());
  const char* host = g_uri_get_host(uri.get());
  return ((scheme == "http" || scheme == "https") && host && *host) || scheme == "mailto";
}

void GioAddressOpener::Open(const std::string& address) {
  if (!IsOpenable(address))
    return;
  // Without waiting; the result is not examined: a desktop without a browser opens nothing.
  g_app_info_launch_default_for_uri_async(address.c_str(), nullptr, nullptr, nullptr, nullptr);
}

}  // namespace quensary
