#pragma once

#include <glib.h>

#include <memory>

namespace quensary {

// Owning pointers for the plain GLib types the program uses; GObjects are held by GObjectRef.
// Each frees its object with the function GLib pairs with it, so no code outside these types
// calls a free function by hand.
template <auto Free>
struct GLibFree {
  template <typename T>
  void operator()(T* object) const {
    Free(object);
  }
};

using GCharPtr = std::unique_ptr<gchar, GLibFree<g_free>>;
using GErrorPtr = std::unique_ptr<GError, GLibFree<g_error_free>>;
using GVariantPtr = std::unique_ptr<GVariant, GLibFree<g_variant_unref>>;
using GKeyFilePtr = std::unique_ptr<GKeyFile, GLibFree<g_key_file_unref>>;
using GDateTimePtr = std::unique_ptr<GDateTime, GLibFree<g_date_time_unref>>;
using GMainContextPtr = std::unique_ptr<GMainContext, GLibFree<g_main_context_unref>>;
using GBytesPtr = std::unique_ptr<GBytes, GLibFree<g_bytes_unref>>;
using GSourcePtr = std::unique_ptr<GSource, GLibFree<g_source_unref>>;
using GUriPtr = std::unique_ptr<GUri, GLibFree<g_uri_unref>>;
using GListPtr = std::unique_ptr<GList, GLibFree<g_list_free>>;  // the list, not its elements
using GStrvPtr = std::unique_ptr<gchar*, GLibFree<g_strfreev>>;  // the array and its texts
using GStrvPtr = std::unique_ptr<gchar*, GLibFree<g_strfreev>>;

}  // namespace quensary
