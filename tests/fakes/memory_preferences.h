#pragma once

#include <map>
#include <mutex>
#include <string>
#include <variant>

#include "platform/preferences_store.h"

namespace quensary::testing {

// Preferences held in memory; the foreign domains are filled by the test.
class MemoryPreferences final : public PreferencesStore {
 public:
  std::optional<bool> ReadBool(std::string_view key) const override { return Read<bool>(key); }
  std::optional<int64_t> ReadInt(std::string_view key) const override { return Read<int64_t>(key); }
  std::optional<std::string> ReadText(std::string_view key) const override {
    return Read<std::string>(key);
  }
  void WriteBool(std::string_view key, bool value) override { Write(key, value); }
  void WriteInt(std::string_view key, int64_t value) override { Write(key, value); }
  void WriteText(std::string_view key, std::string_view value) override {
    Write(key, std::string(value));
  }
  std::optional<std::string> ReadForeignText(std::string_view domain,
                                             std::string_view key) const override {
    return Read<std::string>(std::string(domain) + "\n" + std::string(key));
  }
  void SetForeign(std::string_view domain, std::string_view key, std::string value) {
    Write(std::string(domain) + "\n" + std::string(key), std::move(value));
  }

 private:
  template <typename T>
  std::optional<T> Read(std::string_view key) const {
    std::lock_guard lock(mutex_);
    const auto it = values_.find(std::string(key));
    if (it == values_.end() || !std::holds_alternative<T>(it->second))
      return std::nullopt;
    return std::get<T>(it->second);
  }
  void Write(std::string_view key, std::variant<bool, int64_t, std::string> value) {
    std::lock_guard lock(mutex_);
    values_[std::string(key)] = std::move(value);
  }

  mutable std::mutex mutex_;
  std::map<std::string, std::variant<bool, int64_t, std::string>> values_;
};

}  // namespace quensary::testing
