// The "Baudrate" text of the registry, read as the C runtime's _wtoi reads it. Compared with the
// C library's own strtoll (base 10, saturated to the 32-bit range), which reads the same grammar:
// blanks, a sign, digits up to the first other character.

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "service_object/core/device_config.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

std::int32_t reference(const std::u16string& text) {
  // Beyond ASCII nothing is a blank, sign or digit, so the reading stops there as at a NUL.
  std::string narrow;
  for (const char16_t unit : text) {
    if (unit == 0 || unit > 0x7F) break;
    narrow.push_back(static_cast<char>(unit));
  }
  errno = 0;
  const long long value = std::strtoll(narrow.c_str(), nullptr, 10);
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Registry text is UTF-16, little-endian in the value's bytes.
  std::u16string text;
  for (std::size_t i = 0; i + 1 < size; i += 2)
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  require(varnel::parse_leading_int(text) == reference(text));
  return 0;
}
