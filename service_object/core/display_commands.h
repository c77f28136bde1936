#pragma once
// The byte sequences the display understands, built from the OPOS arguments that produce them.
// Each builder is pure; the service object places the bytes in its transmit buffer and sends
// them in one write.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace varnel {

inline constexpr std::size_t kTransmitBufferSize = 64;
inline constexpr std::uint8_t kClearByte = 0x0C;
inline constexpr std::uint8_t kCommandIntroducer = 0x1F;
// The command codes that follow the introducer: cursor position (column, row + 1) and scroll
// (direction, units) take two bytes, the three settings one.
inline constexpr std::uint8_t kCursorPositionCode = 0x24;
inline constexpr std::uint8_t kScrollCode = 0x04;
inline constexpr std::uint8_t kBlinkRateCode = 0x45;
inline constexpr std::uint8_t kCursorTypeCode = 0x43;
inline constexpr std::uint8_t kInterCharacterWaitCode = 0x46;

// A control sequence of at most four bytes.
struct DisplayCommand {
  std::array<std::uint8_t, 4> bytes{};
  std::size_t size = 0;
  [[nodiscard]] std::span<const std::uint8_t> span() const { return {bytes.data(), size}; }
};

// The low 8 bits of a 32-bit argument: values outside 0..255 wrap.
[[nodiscard]] constexpr std::uint8_t low_byte(std::int32_t value) {
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFFu);
}

// Blink rate and the inter-character wait (0x46): below 100 gives 0, otherwise value / 50 as a byte.
[[nodiscard]] constexpr std::uint8_t scaled_setting(std::int32_t value) {
  return value < 100 ? std::uint8_t{0} : low_byte(value / 50);
}

// ScrollText units limited to 1..19.
[[nodiscard]] constexpr std::uint8_t limited_scroll_units(std::int32_t units) {
  if (units > 19) return 19;
  if (units < 1) return 1;
  return static_cast<std::uint8_t>(units);
}

[[nodiscard]] DisplayCommand clear_command();
// Cursor to an OPOS position: the column is sent as given, the row one higher (upper line 1).
[[nodiscard]] DisplayCommand cursor_position_command(std::int32_t row, std::int32_t column);
[[nodiscard]] DisplayCommand scroll_command(std::int32_t direction, std::int32_t units);
[[nodiscard]] DisplayCommand blink_rate_command(std::int32_t blink_rate);
[[nodiscard]] DisplayCommand cursor_type_command(std::int32_t cursor_type);
[[nodiscard]] DisplayCommand inter_character_wait_command(std::int32_t value);

// Text for the display: one byte per UTF-16 code unit, its low 8 bits (no code page
// conversion: the display's own character set decides what 0x80..0xFF look like). Stops at the
// first NUL. At most kTransmitBufferSize units are converted into `out`.
struct TextBytes {
  std::size_t count = 0;   // bytes placed in `out`
  bool truncated = false;  // the text had more than kTransmitBufferSize units
};
[[nodiscard]] TextBytes text_to_display_bytes(std::u16string_view text,
                                              std::span<std::uint8_t, kTransmitBufferSize> out);

}  // namespace varnel
