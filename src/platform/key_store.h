#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quensary {

// The keys of translation services, one per engine Id. Kept in the desktop's secret store when
// there is one, else for this session only; never written anywhere else. Main thread only; every
// answer comes later, on the main thread.
class KeyStore {
 public:
  // Whether keys outlive the session: known once the secret store answered or failed.
  enum class Keeping { kUnknown, kLasting, kSessionOnly };

  virtual ~KeyStore() = default;

  // Keeps the key for the engine, replacing any it had.
  virtual void Save(const std::string& engine_id, const std::string& key,
                    std::function<void()> done) = 0;
  // The engine's key, or absent.
  virtual void Lookup(const std::string& engine_id,
                      std::function<void(std::optional<std::string>)> done) = 0;
  // Forgets the engine's key wherever it was kept.
  virtual void Forget(const std::string& engine_id, std::function<void()> done) = 0;

  virtual Keeping KeepsKeys() const = 0;
};

}  // namespace quensary
