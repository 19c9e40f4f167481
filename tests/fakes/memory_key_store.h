#pragma once

#include <map>
#include <string>

#include "platform/key_store.h"

namespace quensary::testing {

// Keys in memory, answered at once, kept as a Secret Service would keep them.
class MemoryKeyStore final : public KeyStore {
 public:
  void Save(const std::string& engine_id, const std::string& key,
            std::function<void()> done) override {
    keys[engine_id] = key;
    done();
  }
  void Lookup(const std::string& engine_id,
              std::function<void(std::optional<std::string>)> done) override {
    const auto found = keys.find(engine_id);
    done(found == keys.end() ? std::nullopt : std::optional<std::string>(found->second));
  }
  void Forget(const std::string& engine_id, std::function<void()> done) override {
    keys.erase(engine_id);
    done();
  }
  Keeping KeepsKeys() const override { return Keeping::kLasting; }

  std::map<std::string, std::string> keys;
};

}  // namespace quensary::testing
