#pragma once
// Text between the HTTP interface (UTF-8) and the display (one byte per character in the
// display's code page). A character the page lacks, and every control character, shows as '?'
// (the service object's code-page tables decide both).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service_object/core/code_page.h"

namespace bridge {

// `utf8` in `page`, one byte per character (a character beyond the 16-bit range is one '?').
// Nothing when `utf8` is not well-formed UTF-8.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> to_display_bytes(const varnel::CodePage& page,
                                                                        std::string_view utf8);

// What `bytes` of `page` show, as UTF-8: the inverse of to_display_bytes for every byte the page
// maps; any other byte reads as '?'.
[[nodiscard]] std::string to_utf8(const varnel::CodePage& page, const std::vector<std::uint8_t>& bytes);

// UTF-8 as UTF-16, for the service object's port names and code pages. Nothing when malformed.
[[nodiscard]] std::optional<std::u16string> utf8_to_utf16(std::string_view utf8);

}  // namespace bridge
