#include "sim/model/flash_settings.h"

#include <algorithm>

namespace sim {
namespace {

constexpr std::array<std::uint32_t, kBaudCodeCount> kBaudRates = {9600, 19200, 38400, 57600, 115200};

// Whether every block holding a byte of bytes [first, first + kGlyphWidth) is
// marked in `blocks`.
bool glyph_complete(std::uint32_t blocks, std::size_t first) {
  const std::size_t first_block = first / kGlyphBlockBytes;
  const std::size_t last_block = (first + kGlyphWidth - 1) / kGlyphBlockBytes;
  for (std::size_t block = first_block; block <= last_block; ++block) {
    if ((blocks & (1u << block)) == 0) return false;
  }
  return true;
}

template <std::size_t Size>
Glyph glyph_at(const std::array<std::uint8_t, Size>& bytes, std::size_t first) {
  Glyph glyph{};
  std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(first), kGlyphWidth, glyph.begin());
  return glyph;
}

}  // namespace

std::optional<std::uint32_t> baud_rate(std::uint8_t code) {
  if (code >= kBaudRates.size()) return std::nullopt;
  return kBaudRates[code];
}

std::optional<std::uint8_t> language_number(std::string_view code) {
  const auto found = std::find(kLanguageCodes.begin(), kLanguageCodes.end(), code);
  if (found == kLanguageCodes.end()) return std::nullopt;
  return static_cast<std::uint8_t>(found - kLanguageCodes.begin());
}

bool store_glyph_block(FlashSettings& flash, GlyphBlockKind kind, std::uint8_t index, GlyphBlock data) {
  const bool international = kind == GlyphBlockKind::international;
  if (index >= (international ? kInternationalBlockCount : kUpperBlockCount)) return false;
  const auto offset = static_cast<std::ptrdiff_t>(index * kGlyphBlockBytes);
  if (international) {
    std::copy(data.begin(), data.end(), flash.international_glyphs.begin() + offset);
    flash.international_blocks = static_cast<std::uint8_t>(flash.international_blocks | (1u << index));
  } else {
    std::copy(data.begin(), data.end(), flash.upper_glyphs.begin() + offset);
    flash.upper_blocks |= 1u << index;
  }
  return true;
}

std::optional<Glyph> downloaded_glyph(const FlashSettings& flash, std::uint8_t code) {
  if (code >= kFirstUpperCode) {
    const std::size_t first = (code - kFirstUpperCode) * kGlyphWidth;
    if (!glyph_complete(flash.upper_blocks, first)) return std::nullopt;
    return glyph_at(flash.upper_glyphs, first);
  }
  const auto found = std::find(kInternationalCharacters.begin(), kInternationalCharacters.end(), code);
  if (found == kInternationalCharacters.end()) return std::nullopt;
  const std::size_t first = static_cast<std::size_t>(found - kInternationalCharacters.begin()) * kGlyphWidth;
  if (!glyph_complete(flash.international_blocks, first)) return std::nullopt;
  return glyph_at(flash.international_glyphs, first);
}

std::string format_flash(const FlashSettings& flash) {
  std::string text;
  text += "command_set=" + std::to_string(flash.command_set) + "\n";
  text += "default_font=" + std::to_string(flash.default_font) + "\n";
  text += "language=" + flash.language + "\n";
  text += "baud_code=" + std::to_string(flash.baud_code) + "\n";
  text += "international_blocks=" + std::to_string(flash.international_blocks) + "\n";
  text += "international_glyphs=" + to_hex(flash.international_glyphs) + "\n";
  text += "upper_blocks=" + std::to_string(flash.upper_blocks) + "\n";
  text += "upper_glyphs=" + to_hex(flash.upper_glyphs) + "\n";
  return text;
}

void read_flash_fields(FieldReader& reader, FlashSettings& flash) {
  reader.read_narrow("command_set", kCommandSetCount - 1u, flash.command_set);
  reader.read_narrow("default_font", kDefaultFontCount - 1u, flash.default_font);
  if (const std::string* language = reader.find("language")) {
    if (!language_number(*language))
      reader.fail("language='" + *language + "' is not a known language code");
    else
      flash.language = *language;
  }
  reader.read_narrow("baud_code", kBaudCodeCount - 1u, flash.baud_code);
  reader.read_narrow("international_blocks", (1u << kInternationalBlockCount) - 1,
                     flash.international_blocks);
  reader.read_hex("international_glyphs", flash.international_glyphs);
  reader.read_narrow("upper_blocks", (1u << kUpperBlockCount) - 1, flash.upper_blocks);
  reader.read_hex("upper_glyphs", flash.upper_glyphs);
}

Parsed<FlashSettings> parse_flash(std::string_view text) {
  const Parsed<Fields> fields = split_fields(text);
  if (!fields.value) return Parsed<FlashSettings>::failure(fields.error);
  FlashSettings flash;
  FieldReader reader(*fields.value);
  read_flash_fields(reader, flash);
  if (!reader.ok()) return Parsed<FlashSettings>::failure(reader.error());
  return Parsed<FlashSettings>::success(flash);
}

}  // namespace sim
