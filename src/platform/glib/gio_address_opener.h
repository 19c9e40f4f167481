#pragma once

#include "platform/address_opener.h"

namespace quensary {

// Opens addresses through GIO's default handler for their scheme.
class GioAddressOpener final : public AddressOpener {
 public:
  void Open(const std::string& address) override;

  // Whether the address is one this opener hands on: http or https with a host, or mailto.
  static bool IsOpenable(const std::string& address);
};

}  // namespace quensary
