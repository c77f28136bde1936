// What the display keeps in its flash memory: the settings the configuration
// utility changes and the glyphs it downloads.
//
// The flash file holds them as `key=value` lines, in this order:
//
//   command_set=<0..9: the command-set emulation code>
//   default_font=<0..17: the default code page code>
//   language=<two letters, one of the language codes below>
//   baud_code=<0..4: 9600, 19200, 38400, 57600, 115200 bits per second>
//   international_blocks=<0..3: bit b set once international glyph block b arrived>
//   international_glyphs=<128 hex digits: both international blocks, 64 bytes>
//   upper_blocks=<0..1048575: bit b set once upper glyph block b arrived>
//   upper_glyphs=<1280 hex digits: the 640 bytes of the glyphs 0x80..0xFF>
//
// A glyph is 5 bytes, one a column from left to right; in each byte bit 7 is
// the top row and bit 0 the eighth. The international glyphs are those of the
// twelve positions in kInternationalCharacters, in that order (60 bytes; the last 4
// bytes of the second block are padding). A glyph counts as downloaded once
// every block holding one of its bytes has arrived.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sim/model/key_value_text.h"
#include "sim/model/parsed.h"

namespace sim {

inline constexpr std::size_t kGlyphWidth = 5;
inline constexpr std::size_t kGlyphBlockBytes = 32;
inline constexpr std::size_t kInternationalBlockCount = 2;
inline constexpr std::size_t kUpperBlockCount = 20;
inline constexpr std::array<std::uint8_t, 12> kInternationalCharacters = {0x23, 0x24, 0x40, 0x5B, 0x5C, 0x5D,
                                                                          0x5E, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};
inline constexpr std::uint8_t kFirstUpperCode = 0x80;

inline constexpr std::uint8_t kCommandSetCount = 10;   // codes 0..9
inline constexpr std::uint8_t kDefaultFontCount = 18;  // codes 0..0x11
inline constexpr std::uint8_t kBaudCodeCount = 5;      // codes 0..4

// The language codes in the order of the utility's language list. The
// display reports a language by its position here (0 for US ... 21 for RW).
inline constexpr std::array<std::string_view, 22> kLanguageCodes = {
    "US", "DE", "IT", "JP", "UK", "FR", "ES", "NO", "SE", "D1", "D2",
    "SL", "RU", "HE", "G7", "PT", "G1", "TK", "FS", "AR", "H8", "RW"};

using Glyph = std::array<std::uint8_t, kGlyphWidth>;
using GlyphBlock = std::span<const std::uint8_t, kGlyphBlockBytes>;

enum class GlyphBlockKind { international, upper };

struct FlashSettings {
  std::uint8_t command_set = 0;
  std::uint8_t default_font = 0;
  std::string language = "US";
  std::uint8_t baud_code = 0;
  std::array<std::uint8_t, kInternationalBlockCount * kGlyphBlockBytes> international_glyphs{};
  std::uint8_t international_blocks = 0;  // bit b: block b has arrived
  std::array<std::uint8_t, kUpperBlockCount * kGlyphBlockBytes> upper_glyphs{};
  std::uint32_t upper_blocks = 0;  // bit b: block b has arrived

  bool operator==(const FlashSettings&) const = default;
};

// The rate of a baud code in bits per second; nothing for an unknown code.
std::optional<std::uint32_t> baud_rate(std::uint8_t code);

// The position of a language code in kLanguageCodes; nothing if unknown.
std::optional<std::uint8_t> language_number(std::string_view code);

// Stores a glyph block. An index past the kind's last block is refused
// (returns false) and changes nothing.
bool store_glyph_block(FlashSettings& flash, GlyphBlockKind kind, std::uint8_t index, GlyphBlock data);

// The downloaded glyph of a character code, if the code has a downloadable
// glyph (an international position or 0x80..0xFF) and all of it has arrived.
std::optional<Glyph> downloaded_glyph(const FlashSettings& flash, std::uint8_t code);

// The lines described above, each ending in '\n'.
std::string format_flash(const FlashSettings& flash);

// Reads the flash keys through `reader` into `flash`, checking each value.
void read_flash_fields(FieldReader& reader, FlashSettings& flash);

// Reads a flash file; every key must appear once, unknown keys are skipped.
Parsed<FlashSettings> parse_flash(std::string_view text);

}  // namespace sim
