#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bus/lns_center.h"
#include "support/literal_vault.h"
#include "support/sealed_literals.h"

namespace quensary::testing {

// Records the JSON texts posted under the lines-changed event of one bus. The record is shared
// with the subscription, so a late delivery never reaches a destroyed recorder.
class PublishedLines {
 public:
  explicit PublishedLines(LnsCenter& bus) : bus_(bus), record_(std::make_shared<Record>()) {
    bus_.Subscribe(RevealText(Sealed::EventLinesChanged), false,
                   [record = record_](const LnsMessage& message) {
                     std::lock_guard lock(record->mutex);
                     record->texts.push_back(message.str1);
                   });
    bus_.WaitIdle();
  }

  // Every text published so far, once the bus has delivered what was posted before the call.
  std::vector<std::string> Texts() {
    bus_.WaitIdle();
    std::lock_guard lock(record_->mutex);
    return record_->texts;
  }
  std::string Last() {
    const auto texts = Texts();
    return texts.empty() ? std::string() : texts.back();
  }

 private:
  struct Record {
    std::mutex mutex;
    std::vector<std::string> texts;
  };
  LnsCenter& bus_;
  std::shared_ptr<Record> record_;
};

}  // namespace quensary::testing
