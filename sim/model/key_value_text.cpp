#include "sim/model/key_value_text.h"

#include <charconv>
#include <system_error>

namespace sim {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

int hex_value(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  return -1;
}

}  // namespace

Parsed<Fields> split_fields(std::string_view text) {
  Fields fields;
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
      return Parsed<Fields>::failure("line " + std::to_string(line_number) + " is not key=value: '" +
                                     std::string(line) + "'");
    }
    const std::string key(line.substr(0, equals));
    if (!fields.emplace(key, std::string(line.substr(equals + 1))).second) {
      return Parsed<Fields>::failure("key '" + key + "' appears twice");
    }
  }
  return Parsed<Fields>::success(std::move(fields));
}

std::string to_hex(std::span<const std::uint8_t> bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    hex.push_back(kHexDigits[byte >> 4]);
    hex.push_back(kHexDigits[byte & 0x0F]);
  }
  return hex;
}

bool from_hex(std::string_view hex, std::span<std::uint8_t> out) {
  if (hex.size() != out.size() * 2) return false;
  for (std::size_t index = 0; index < out.size(); ++index) {
    const int high = hex_value(hex[2 * index]);
    const int low = hex_value(hex[2 * index + 1]);
    if (high < 0 || low < 0) return false;
    out[index] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return true;
}

void FieldReader::read_number(std::string_view key, std::uint64_t max, std::uint64_t& out) {
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

void FieldReader::read_hex(std::string_view key, std::span<std::uint8_t> out) {
  const std::string* value = find(key);
  if (value == nullptr) return;
  if (!from_hex(*value, out)) {
    fail(std::string(key) + " must be " + std::to_string(out.size() * 2) + " hex digits");
  }
}

const std::string* FieldReader::find(std::string_view key) {
  if (!ok()) return nullptr;
  const auto found = fields_.find(key);
  if (found != fields_.end()) return &found->second;
  if (!allow_missing_) fail("key '" + std::string(key) + "' is missing");
  return nullptr;
}

void FieldReader::fail(std::string message) {
  if (ok()) error_ = std::move(message);
}

}  // namespace sim
