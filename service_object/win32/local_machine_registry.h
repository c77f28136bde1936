#pragma once
// The device's configuration key, read from the Windows registry below HKEY_LOCAL_MACHINE.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "service_object/core/config_registry.h"
#include "shared/win32/unique_handle.h"

namespace varnel {

// One key opened for reading; the key is closed when this object goes.
class Win32RegistryKey final : public RegistryKey {
 public:
  explicit Win32RegistryKey(kit::win32::UniqueRegistryKey key) : key_(std::move(key)) {}

  // Values of the three string types are text: REG_SZ; REG_EXPAND_SZ as stored, not expanded;
  // REG_MULTI_SZ by its first string. A number stored as REG_DWORD (or any other type) is not a
  // text, so it answers nothing rather than its raw bytes. The text ends at the first NUL; a
  // value longer than kMaxValueChars characters answers nothing, whether or not it was stored
  // with its terminator.
  std::optional<std::u16string> read_string(std::u16string_view value_name) override;

 private:
  kit::win32::UniqueRegistryKey key_;
};

class Win32ConfigRegistry final : public ConfigRegistry {
 public:
  Win32ConfigRegistry() = default;

  // Asks for KEY_QUERY_VALUE only, so a user without write rights to HKEY_LOCAL_MACHINE can read
  // the configuration. The path is taken as given in the process's own registry view: a 32-bit
  // process on 64-bit Windows that names "SOFTWARE\Wow6432Node\..." reaches the 32-bit tree.
  std::unique_ptr<RegistryKey> open_for_reading(std::u16string_view key_path) override;
};

}  // namespace varnel
