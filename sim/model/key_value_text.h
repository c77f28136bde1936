// The `key=value` text shared by the state file and the flash file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sim/model/parsed.h"

namespace sim {

using Fields = std::map<std::string, std::string, std::less<>>;

// Splits the text into key=value pairs, one a line; blank lines and a CR
// before the line end are allowed. A key may appear once.
Parsed<Fields> split_fields(std::string_view text);

// Two lowercase hex digits a byte.
std::string to_hex(std::span<const std::uint8_t> bytes);

// Fills `out` from exactly 2 * out.size() hex digits (either case). False,
// with `out` unspecified, for any other length or a character that is not a
// hex digit.
bool from_hex(std::string_view hex, std::span<std::uint8_t> out);

// Reads typed values out of the fields, keeping the first problem found.
class FieldReader {
 public:
  explicit FieldReader(const Fields& fields) : fields_(fields) {}

  const std::string& error() const { return error_; }
  bool ok() const { return error_.empty(); }

  // Keys read after this call may be absent and then keep the value they had:
  // the optional keys of a file.
  void allow_missing() { allow_missing_ = true; }

  void read_number(std::string_view key, std::uint64_t max, std::uint64_t& out);

  template <typename Narrow>
  void read_narrow(std::string_view key, std::uint64_t max, Narrow& out) {
    std::uint64_t wide = out;
    read_number(key, max, wide);
    if (ok()) out = static_cast<Narrow>(wide);
  }

  // Exactly 2 * out.size() hex digits.
  void read_hex(std::string_view key, std::span<std::uint8_t> out);

  // The value of `key`; nullptr after an earlier problem, or when the key is
  // missing (a problem unless missing keys are allowed).
  const std::string* find(std::string_view key);

  // Records a problem unless one is recorded already.
  void fail(std::string message);

 private:
  const Fields& fields_;
  std::string error_;
  bool allow_missing_ = false;
};

}  // namespace sim
