#pragma once
// Reads small files (the device-name file) on Windows.

#include <optional>
#include <string>
#include <string_view>

#include "service_object/core/text_file_reader.h"

namespace varnel {

class Win32TextFileReader final : public TextFileReader {
 public:
  Win32TextFileReader() = default;

  // The bytes exactly as stored (no line-end translation), at most `max_bytes` of them. The file
  // is opened read-only and shared, so an installer or editor that holds it open does not make
  // the read fail. Nothing when the path names no readable file (missing, a folder, no rights).
  std::optional<std::string> read(std::u16string_view path, std::size_t max_bytes) override;

  // Through the ANSI code page (CP_ACP): 0x80 is the euro sign under code page 1252, a lead
  // byte under 932. Bytes the code page has no character for become its default character.
  std::u16string widen(std::string_view text) override;
};

}  // namespace varnel
