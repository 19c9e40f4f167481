#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quensary {

// Typed per-user values: the program's own domain (read and written), and read-only access to
// another application's domain. Reads give absent for a missing or wrongly typed value.
// Every operation is safe to call from any thread.
class PreferencesStore {
 public:
  virtual ~PreferencesStore() = default;

  virtual std::optional<bool> ReadBool(std::string_view key) const = 0;
  virtual std::optional<int64_t> ReadInt(std::string_view key) const = 0;
  virtual std::optional<std::string> ReadText(std::string_view key) const = 0;

  virtual void WriteBool(std::string_view key, bool value) = 0;
  virtual void WriteInt(std::string_view key, int64_t value) = 0;
  virtual void WriteText(std::string_view key, std::string_view value) = 0;

  // A text value from another application's domain; absent when the domain, the key or a text
  // value is missing.
  virtual std::optional<std::string> ReadForeignText(std::string_view domain,
                                                     std::string_view key) const = 0;
};

}  // namespace quensary
