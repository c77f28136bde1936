#pragma once
// The registry path of the device's key: a base path chosen by the process kind, followed by
// the device name read from the device-name file.

#include <string>
#include <string_view>

namespace varnel {

// Base path for a native process (32-bit Windows, or a 64-bit process).
inline constexpr std::u16string_view kNativeBasePath = u"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\";
// Base path for a 32-bit process on 64-bit Windows (WOW64).
inline constexpr std::u16string_view kWow64BasePath =
    u"SOFTWARE\\Wow6432Node\\OLEforRetail\\ServiceOPOS\\LineDisplay\\";

class KeyPath {
 public:
  // The path lives in a buffer of 100 wide characters, terminator included.
  static constexpr std::size_t kCapacity = 100;
  static constexpr std::size_t kMaxLength = kCapacity - 1;

  KeyPath() = default;

  // Chooses the base path (by the emulation flag) and forgets any device name.
  void reset(bool wow64);

  // Appends `device_name` to the base path. Refuses (answers false, path unchanged) when the
  // whole path would not fit in kMaxLength characters.
  [[nodiscard]] bool append(std::u16string_view device_name);

  [[nodiscard]] const std::u16string& text() const { return path_; }
  [[nodiscard]] static std::u16string_view base_for(bool wow64) {
    return wow64 ? kWow64BasePath : kNativeBasePath;
  }

 private:
  std::u16string path_{kNativeBasePath};
};

}  // namespace varnel
