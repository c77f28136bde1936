#pragma once
// The code pages the display offers as its default font, and the conversion of UTF-16 text into
// one of them. The tables are generated from Python's codecs (tools/codepages/generate.py), so
// the conversion needs nothing of the host system and gives the same bytes on every platform.
//
// A converted text never holds a byte below 0x20 or 0x7F: the display would take those as
// commands (0x0C clears it, 0x1F starts a sequence). Control characters and characters the code
// page lacks become '?'.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace varnel {

struct CodePageMapping {
  char16_t unit;      // a UTF-16 code unit the code page shows
  std::uint8_t byte;  // the byte that shows it, 0x20 to 0xFF except 0x7F
};

struct CodePage {
  std::int32_t number;                        // the Windows code page number, e.g. 866
  std::span<const CodePageMapping> mappings;  // sorted by unit
};

// Shown for a character the code page lacks, a control character and a lone surrogate.
inline constexpr std::uint8_t kUnmappableByte = '?';

// Every offered code page, by ascending number.
[[nodiscard]] std::span<const CodePage> offered_code_pages();

// The offered code page with this number, or null.
[[nodiscard]] const CodePage* find_code_page(std::int32_t number);

// The byte that shows `unit` in `page`, or nothing when the page lacks it.
[[nodiscard]] std::optional<std::uint8_t> encode_unit(const CodePage& page, char16_t unit);

// Converts `text` into `out`, one byte per character: a surrogate pair (a character beyond the
// 16-bit range, which no offered code page holds) gives one '?', as does a lone surrogate.
// Answers the number of bytes written; stops when `out` is full.
std::size_t encode_text(const CodePage& page, std::u16string_view text, std::span<std::uint8_t> out);

}  // namespace varnel
