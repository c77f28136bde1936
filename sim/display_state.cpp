#include "sim/display_state.h"

#include <charconv>
#include <limits>
#include <map>
#include <string>
#include <system_error>

namespace sim {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

std::string row_hex(const ScreenRow& row) {
  std::string hex;
  hex.reserve(row.size() * 2);
  for (std::uint8_t code : row) {
    hex.push_back(kHexDigits[code >> 4]);
    hex.push_back(kHexDigits[code & 0x0F]);
  }
  return hex;
}

int hex_value(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  return -1;
}

using Fields = std::map<std::string, std::string, std::less<>>;

// Splits the text into key=value pairs; blank lines are allowed.
std::optional<std::string> split_fields(std::string_view text, Fields& fields) {
  std::size_t line_number = 0;
  while (!text.empty()) {
    ++line_number;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) {
      return "line " + std::to_string(line_number) + " is not key=value: '" + std::string(line) + "'";
    }
    const std::string key(line.substr(0, equals));
    if (!fields.emplace(key, std::string(line.substr(equals + 1))).second) {
      return "key '" + key + "' appears twice";
    }
  }
  return std::nullopt;
}

class FieldReader {
 public:
  explicit FieldReader(const Fields& fields) : fields_(fields) {}

  const std::string& error() const { return error_; }
  bool ok() const { return error_.empty(); }

  void read_number(std::string_view key, std::uint64_t max, std::uint64_t& out) {
    const std::string* value = find(key);
    if (value == nullptr) return;
    std::uint64_t number = 0;
    const char* first = value->data();
    const char* last = first + value->size();
    const auto [end, code] = std::from_chars(first, last, number);
    if (value->empty() || code != std::errc{} || end != last || number > max) {
      fail(std::string(key) + "='" + *value + "' is not a number from 0 to " + std::to_string(max));
      return;
    }
    out = number;
  }

  template <typename Narrow>
  void read_narrow(std::string_view key, std::uint64_t max, Narrow& out) {
    std::uint64_t wide = 0;
    read_number(key, max, wide);
    if (ok()) out = static_cast<Narrow>(wide);
  }

  void read_row(std::size_t index, ScreenRow& row) {
    const std::string hex_key = "row" + std::to_string(index) + "_hex";
    const std::string text_key = "row" + std::to_string(index) + "_text";
    const std::string* hex = find(hex_key);
    const std::string* text = find(text_key);
    if (hex == nullptr || text == nullptr) return;
    if (hex->size() != kColumns * 2) {
      fail(hex_key + " has " + std::to_string(hex->size()) + " digits, expected " +
           std::to_string(kColumns * 2));
      return;
    }
    for (std::size_t column = 0; column < kColumns; ++column) {
      const int high = hex_value((*hex)[2 * column]);
      const int low = hex_value((*hex)[2 * column + 1]);
      if (high < 0 || low < 0) {
        fail(hex_key + " holds a character that is not a hex digit");
        return;
      }
      row[column] = static_cast<std::uint8_t>(high * 16 + low);
    }
    if (*text != row_text(row)) {
      fail(text_key + "='" + *text + "' does not match " + hex_key);
    }
  }

 private:
  const std::string* find(std::string_view key) {
    if (!ok()) return nullptr;
    const auto found = fields_.find(key);
    if (found == fields_.end()) {
      fail("key '" + std::string(key) + "' is missing");
      return nullptr;
    }
    return &found->second;
  }
  void fail(std::string message) {
    if (ok()) error_ = std::move(message);
  }

  const Fields& fields_;
  std::string error_;
};

}  // namespace

std::string row_text(const ScreenRow& row) {
  std::string text;
  text.reserve(row.size());
  for (std::uint8_t code : row) text.push_back(is_printable_ascii(code) ? static_cast<char>(code) : '.');
  return text;
}

std::string format_state(const DisplayState& state) {
  std::string text;
  for (std::size_t index = 0; index < kRows; ++index) {
    text += "row" + std::to_string(index) + "_hex=" + row_hex(state.rows[index]) + "\n";
  }
  for (std::size_t index = 0; index < kRows; ++index) {
    text += "row" + std::to_string(index) + "_text=" + row_text(state.rows[index]) + "\n";
  }
  text += "cursor_row=" + std::to_string(state.cursor_row) + "\n";
  text += "cursor_col=" + std::to_string(state.cursor_col) + "\n";
  text += "blink=" + std::to_string(state.blink) + "\n";
  text += "cursor_type=" + std::to_string(state.cursor_type) + "\n";
  text += "cmd46=" + std::to_string(state.cmd46) + "\n";
  text += "bytes_received=" + std::to_string(state.bytes_received) + "\n";
  return text;
}

StateParseResult parse_state(std::string_view text) {
  Fields fields;
  if (std::optional<std::string> error = split_fields(text, fields)) return {std::nullopt, *error};

  DisplayState state;
  FieldReader reader(fields);
  for (std::size_t index = 0; index < kRows; ++index) reader.read_row(index, state.rows[index]);
  reader.read_narrow("cursor_row", kRows - 1, state.cursor_row);
  reader.read_narrow("cursor_col", kColumns - 1, state.cursor_col);
  reader.read_narrow("blink", 0xFF, state.blink);
  reader.read_narrow("cursor_type", 0xFF, state.cursor_type);
  reader.read_narrow("cmd46", 0xFF, state.cmd46);
  reader.read_number("bytes_received", std::numeric_limits<std::uint64_t>::max(), state.bytes_received);
  if (!reader.ok()) return {std::nullopt, reader.error()};
  return {state, {}};
}

}  // namespace sim
