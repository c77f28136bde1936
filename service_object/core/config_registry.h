#pragma once
// Read access to the device's configuration key (under HKEY_LOCAL_MACHINE on Windows).

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace varnel {

// One open key. Destroying it closes the key.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;

  // The text of a string value of this key, or nothing when the value is missing, is not a
  // string, or is longer than kMaxValueChars characters.
  virtual std::optional<std::u16string> read_string(std::u16string_view value_name) = 0;

  // Longest value text accepted: a value is read into 100 bytes, terminator included.
  static constexpr std::size_t kMaxValueChars = 49;
};

class ConfigRegistry {
 public:
  virtual ~ConfigRegistry() = default;

  // Opens `key_path` below HKEY_LOCAL_MACHINE for reading only, or answers null when the key
  // does not exist or cannot be read.
  virtual std::unique_ptr<RegistryKey> open_for_reading(std::u16string_view key_path) = 0;
};

}  // namespace varnel
