#pragma once
// Reads small text files (the device-name file).

#include <optional>
#include <string>
#include <string_view>

namespace varnel {

class TextFileReader {
 public:
  virtual ~TextFileReader() = default;

  // The raw bytes of the file at `path` (a Windows path on Windows, a POSIX path elsewhere),
  // at most `max_bytes` of them, or nothing when the file cannot be opened or read.
  virtual std::optional<std::string> read(std::u16string_view path, std::size_t max_bytes) = 0;

  // 8-bit text of this system widened to UTF-16: on Windows through the ANSI code page (the
  // code page a plain "ANSI" text file is written in).
  virtual std::u16string widen(std::string_view text) = 0;
};

}  // namespace varnel
