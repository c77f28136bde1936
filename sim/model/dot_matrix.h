// A picture of the display's 5x8 dot-matrix screen as text.
//
// Each of the two rows becomes eight lines; each cell five characters, '#'
// for a lit dot and '.' for a dark one, with one space between cells and one
// blank line between the two rows (17 lines of 119 characters, each ending in
// '\n'). A cell shows the downloaded glyph of its code where there is one
// (the international positions and 0x80..0xFF), the built-in glyph of 0x20..0x7E
// otherwise, and an outlined box for a code that has neither.
#pragma once

#include <string>

#include "sim/model/observable_state.h"

namespace sim {

inline constexpr std::size_t kGlyphHeight = 8;

// The glyph a cell of the screen shows for `code`.
Glyph shown_glyph(const FlashSettings& flash, std::uint8_t code);

std::string render_dots(const ObservableState& state);

}  // namespace sim
