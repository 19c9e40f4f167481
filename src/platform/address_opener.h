#pragma once

#include <string>

namespace quensary {

// Opens a web address with the desktop's default handler (a browser). Main thread only.
class AddressOpener {
 public:
  virtual ~AddressOpener() = default;
  // Opens `http`, `https` and `mailto` addresses; anything else (a file, a custom scheme, a
  // script) does nothing: the addresses come from pages.
  virtual void Open(const std::string& address) = 0;
};

}  // namespace quensary
