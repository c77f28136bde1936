#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace utility {

// The national character sets the utility can load into the display, one row
// per entry of the dialog's language list.
//
// A glyph is 5 bytes, one per column from left to right; in each byte bit 7
// is the top row and bit 0 the eighth row. A row's international glyphs
// replace the twelve ASCII characters of kInternationalCharacters, in that
// order; its upper glyphs are those of the characters 0x80 to 0xFF.

inline constexpr std::size_t kGlyphBytes = 5;
inline constexpr std::size_t kLanguageCount = 22;

inline constexpr std::array<std::uint8_t, 12> kInternationalCharacters = {
    0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D, 0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E,
};
inline constexpr std::size_t kInternationalGlyphBytes = kGlyphBytes * kInternationalCharacters.size();
inline constexpr std::size_t kUpperGlyphBytes = kGlyphBytes * 128;

struct LanguageFontRow {
  std::array<char, 2> code;    // the letters in parentheses, sent in the language-code frame
  std::string_view listEntry;  // the language list's text, e.g. "(DE) Germany"
  std::span<const std::uint8_t, kInternationalGlyphBytes> InternationalGlyphs;
  std::span<const std::uint8_t, kUpperGlyphBytes> UpperGlyphs;
};

// The 22 rows, indexed by the language list's index.
const std::array<LanguageFontRow, kLanguageCount>& LanguageFontTable();

// Index of a language from its list entry ("(DE) Germany", exact) or from its
// two-letter code in either case ("DE", "de"); -1 when there is none.
int LanguageIndex(std::string_view entryOrCode);

// The list entry at an index; empty when the index is outside the list.
std::string_view LanguageEntryAt(int index);

}  // namespace utility
