#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quensary {

// Payload of one bus event; not changed after it is posted.
struct LnsMessage {
  std::string str1;
  std::vector<std::string> strs1;
  int64_t int1 = 0;
  bool boo1 = false;
};

using LnsMessagePtr = std::shared_ptr<const LnsMessage>;

inline LnsMessagePtr EmptyLnsMessage() {
  return std::make_shared<const LnsMessage>();
}

}  // namespace quensary
