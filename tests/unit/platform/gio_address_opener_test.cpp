#include "platform/glib/gio_address_opener.h"

#include <gtest/gtest.h>

namespace quensary {
namespace {

TEST(GioAddressOpener, OpensOnlyWebAndMailAddresses) {
  for (const char* address :
       {"https://quensary.org/", "http://example.org/a?b#c", "mailto:someone@example.org"})
    EXPECT_TRUE(GioAddressOpener::IsOpenable(address)) << address;
  for (const char* address :
       {"file:///etc/passwd", "javascript:alert(1)", "quensary://app/main/main.html",
        "ftp://example.org/", "https://", "not an address", "", "data:text/html,x"})
    EXPECT_FALSE(GioAddressOpener::IsOpenable(address)) << address;
}

}  // namespace
}  // namespace quensary
