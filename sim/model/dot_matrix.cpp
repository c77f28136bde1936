#include "sim/model/dot_matrix.h"

#include "sim/model/builtin_font.h"

namespace sim {
namespace {

constexpr Glyph kMissingGlyph = {0xFE, 0x82, 0x82, 0x82, 0xFE};

}  // namespace

Glyph shown_glyph(const FlashSettings& flash, std::uint8_t code) {
  if (std::optional<Glyph> glyph = downloaded_glyph(flash, code)) return *glyph;
  return builtin_glyph(code).value_or(kMissingGlyph);
}

std::string render_dots(const ObservableState& state) {
  std::string picture;
  for (std::size_t row = 0; row < kRows; ++row) {
    if (row > 0) picture += '\n';
    for (std::size_t dot_row = 0; dot_row < kGlyphHeight; ++dot_row) {
      const unsigned mask = 0x80u >> dot_row;
      for (std::size_t column = 0; column < kColumns; ++column) {
        if (column > 0) picture += ' ';
        for (std::uint8_t bits : shown_glyph(state.flash, state.rows[row][column])) {
          picture += (bits & mask) != 0 ? '#' : '.';
        }
      }
      picture += '\n';
    }
  }
  return picture;
}

}  // namespace sim
