#pragma once

#include <memory>
#include <string>

#include "platform/key_store.h"

namespace quensary {

// Keys in the desktop's Secret Service (gnome-keyring, KeePassXC, KWallet), through libsecret,
// one item per engine in the default collection. While no Secret Service answers (none runs,
// or it takes longer than kAnswerTimeSeconds), keys are kept in this process for the session
// only, and KeepsKeys says so. A key once read is kept in memory too, so that each request does
// not ask the service again. Main thread only (libsecret answers on the thread's main context).
class SecretServiceKeys final : public KeyStore {
 public:
  static constexpr unsigned kAnswerTimeSeconds = 10;

  struct Names {
    std::string service;    // the Secret Service's bus name; tests name one that does not exist
    std::string schema;     // the items' schema
    std::string attribute;  // the attribute that holds the engine Id
    std::string label;      // the items' label, before the engine Id
  };

  explicit SecretServiceKeys(Names names);
  ~SecretServiceKeys() override;

  void Save(const std::string& engine_id, const std::string& key,
            std::function<void()> done) override;
  void Lookup(const std::string& engine_id,
              std::function<void(std::optional<std::string>)> done) override;
  void Forget(const std::string& engine_id, std::function<void()> done) override;
  Keeping KeepsKeys() const override;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace quensary
