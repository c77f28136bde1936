#pragma once
// Reading the device's configuration: the device name from the device-name file (at
// OpenService) and the port settings from the device's registry key (at every enable).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "service_object/core/config_registry.h"
#include "service_object/core/file_text.h"

namespace varnel {

// Where the installation writes the name of the device's registry key.
inline constexpr std::u16string_view kDeviceNameFilePath =
    u"C:\\Program Files (x86)\\OPOSLD_SETUP\\DeviceName.txt";

// Bytes of the device-name file looked at; a longer file cannot name a key that fits anyway.
inline constexpr std::size_t kDeviceNameFileMaxBytes = 4096;

// The device name held in the raw bytes of the device-name file.
//
// The file is meant to hold the name alone with no line end, but files edited by hand often end
// with a line end or carry more than one line. The rule: the text is decoded as
// decode_file_text() says (8-bit text in the system's code page, or UTF-16 / UTF-8 with their
// byte-order mark), the name is the first non-empty line, and the line end (LF, CR LF or CR) is
// not part of it. A NUL character ends the text.
[[nodiscard]] std::u16string device_name_from_file(std::string_view raw, const Widen8Bit& widen_8bit);

// Decimal number at the start of `text`, read the way the C runtime's _wtoi reads it: leading
// white space skipped, an optional sign, digits up to the first other character; no digits
// gives 0. Values beyond the 32-bit range saturate.
[[nodiscard]] std::int32_t parse_leading_int(std::u16string_view text);

// Highest port number Windows gives a serial port.
inline constexpr std::int32_t kMaxPortNumber = 256;

// The port number in the "Comport" text: decimal digits, blanks around them allowed, 1 to
// kMaxPortNumber. Anything else (a name, a path, a sign, an empty text) answers nothing: only a
// serial port may be opened from the configuration, never a file the text might name (docs/integrator.md:
// how the service object finds its display).
[[nodiscard]] std::optional<std::int32_t> parse_port_number(std::u16string_view text);

// "COM" followed by the number in decimal: 4 gives COM4, 12 gives COM12.
[[nodiscard]] std::u16string port_name_for(std::int32_t port_number);

// Port settings read from the device's key.
struct DeviceSettings {
  std::int32_t baud_rate = 0;  // 0 when unreadable, absent or not a positive number
  std::u16string port_text;    // empty when unreadable
  // The key stays open until the port has been opened (or has failed); destroying it closes it.
  std::unique_ptr<RegistryKey> key;
};

}  // namespace varnel
