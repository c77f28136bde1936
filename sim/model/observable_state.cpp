#include "sim/model/observable_state.h"

#include <limits>
#include <string>

#include "sim/model/key_value_text.h"

namespace sim {
namespace {

constexpr std::string_view kNormalMode = "normal";
constexpr std::string_view kDownloadMode = "download";

void read_row(FieldReader& reader, std::size_t index, ScreenRow& row) {
  const std::string hex_key = "row" + std::to_string(index) + "_hex";
  const std::string text_key = "row" + std::to_string(index) + "_text";
  const std::string* hex = reader.find(hex_key);
  const std::string* text = reader.find(text_key);
  if (hex == nullptr || text == nullptr) return;
  if (hex->size() != kColumns * 2) {
    reader.fail(hex_key + " has " + std::to_string(hex->size()) + " digits, expected " +
                std::to_string(kColumns * 2));
    return;
  }
  if (!from_hex(*hex, row)) {
    reader.fail(hex_key + " holds a character that is not a hex digit");
    return;
  }
  if (*text != row_text(row)) reader.fail(text_key + "='" + *text + "' does not match " + hex_key);
}

void read_line_speed(FieldReader& reader, std::uint32_t& line_speed) {
  std::uint32_t speed = line_speed;
  reader.read_narrow("line_speed", std::numeric_limits<std::uint32_t>::max(), speed);
  if (!reader.ok()) return;
  for (std::uint8_t code = 0; code < kBaudCodeCount; ++code) {
    if (baud_rate(code) == speed) {
      line_speed = speed;
      return;
    }
  }
  reader.fail("line_speed=" + std::to_string(speed) + " is not a rate of the display");
}

void read_mode(FieldReader& reader, DisplayMode& mode) {
  const std::string* value = reader.find("mode");
  if (value == nullptr) return;
  if (*value == kNormalMode)
    mode = DisplayMode::normal;
  else if (*value == kDownloadMode)
    mode = DisplayMode::download;
  else
    reader.fail("mode='" + *value + "' is neither normal nor download");
}

}  // namespace

std::string row_text(const ScreenRow& row) {
  std::string text;
  text.reserve(row.size());
  for (std::uint8_t code : row) text.push_back(is_printable_ascii(code) ? static_cast<char>(code) : '.');
  return text;
}

std::string format_state(const ObservableState& state) {
  std::string text;
  for (std::size_t index = 0; index < kRows; ++index) {
    text += "row" + std::to_string(index) + "_hex=" + to_hex(state.rows[index]) + "\n";
  }
  for (std::size_t index = 0; index < kRows; ++index) {
    text += "row" + std::to_string(index) + "_text=" + row_text(state.rows[index]) + "\n";
  }
  text += "cursor_row=" + std::to_string(state.cursor_row) + "\n";
  text += "cursor_col=" + std::to_string(state.cursor_col) + "\n";
  text += "blink=" + std::to_string(state.blink) + "\n";
  text += "cursor_type=" + std::to_string(state.cursor_type) + "\n";
  text += "inter_character_wait=" + std::to_string(state.inter_character_wait) + "\n";
  text += "bytes_received=" + std::to_string(state.bytes_received) + "\n";
  text += "line_speed=" + std::to_string(state.line_speed) + "\n";
  text += "mode=" + std::string(state.mode == DisplayMode::download ? kDownloadMode : kNormalMode) + "\n";
  text += "frames_ok=" + std::to_string(state.frames_ok) + "\n";
  text += "frames_rejected=" + std::to_string(state.frames_rejected) + "\n";
  text += "garbage_bytes=" + std::to_string(state.garbage_bytes) + "\n";
  text += format_flash(state.flash);
  return text;
}

Parsed<ObservableState> parse_state(std::string_view text) {
  const Parsed<Fields> fields = split_fields(text);
  if (!fields.value) return Parsed<ObservableState>::failure(fields.error);

  constexpr std::uint64_t kCountMax = std::numeric_limits<std::uint64_t>::max();
  ObservableState state;
  FieldReader reader(*fields.value);
  for (std::size_t index = 0; index < kRows; ++index) read_row(reader, index, state.rows[index]);
  reader.read_narrow("cursor_row", kRows - 1, state.cursor_row);
  reader.read_narrow("cursor_col", kColumns - 1, state.cursor_col);
  reader.read_narrow("blink", 0xFF, state.blink);
  reader.read_narrow("cursor_type", 0xFF, state.cursor_type);
  reader.read_narrow("inter_character_wait", 0xFF, state.inter_character_wait);
  reader.read_number("bytes_received", kCountMax, state.bytes_received);
  reader.allow_missing();
  read_line_speed(reader, state.line_speed);
  read_mode(reader, state.mode);
  reader.read_number("frames_ok", kCountMax, state.frames_ok);
  reader.read_number("frames_rejected", kCountMax, state.frames_rejected);
  reader.read_number("garbage_bytes", kCountMax, state.garbage_bytes);
  read_flash_fields(reader, state.flash);
  if (!reader.ok()) return Parsed<ObservableState>::failure(reader.error());
  return Parsed<ObservableState>::success(state);
}

}  // namespace sim
