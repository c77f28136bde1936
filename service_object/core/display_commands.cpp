#include "service_object/core/display_commands.h"

#include <algorithm>

namespace varnel {
namespace {

DisplayCommand introduced(std::uint8_t code, std::uint8_t a) { return {{kCommandIntroducer, code, a, 0}, 3}; }

DisplayCommand introduced(std::uint8_t code, std::uint8_t a, std::uint8_t b) {
  return {{kCommandIntroducer, code, a, b}, 4};
}

}  // namespace

DisplayCommand clear_command() { return {{kClearByte, 0, 0, 0}, 1}; }

DisplayCommand cursor_position_command(std::int32_t row, std::int32_t column) {
  // The row is sent one higher, in byte arithmetic: row 255 and row 2147483647 both wrap to 0
  // (the sum of two 32-bit signed values could overflow).
  return introduced(kCursorPositionCode, low_byte(column), static_cast<std::uint8_t>(low_byte(row) + 1u));
}

DisplayCommand scroll_command(std::int32_t direction, std::int32_t units) {
  return introduced(kScrollCode, low_byte(direction), limited_scroll_units(units));
}

DisplayCommand blink_rate_command(std::int32_t blink_rate) {
  return introduced(kBlinkRateCode, scaled_setting(blink_rate));
}

DisplayCommand cursor_type_command(std::int32_t cursor_type) {
  return introduced(kCursorTypeCode, low_byte(cursor_type));
}

DisplayCommand inter_character_wait_command(std::int32_t value) {
  return introduced(kInterCharacterWaitCode, scaled_setting(value));
}

TextBytes text_to_display_bytes(std::u16string_view text, std::span<std::uint8_t, kTransmitBufferSize> out) {
  if (const auto nul = text.find(u'\0'); nul != std::u16string_view::npos) text = text.substr(0, nul);
  TextBytes result;
  result.truncated = text.size() > out.size();
  result.count = std::min(text.size(), out.size());
  std::transform(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(result.count), out.begin(),
                 [](char16_t unit) { return static_cast<std::uint8_t>(unit & 0xFFu); });
  return result;
}

}  // namespace varnel
