// A picture of the display as a customer sees it: dark glass, and on it the
// two rows of twenty 5x8 dot cells, lit dots glowing blue-green, dark dots
// faintly visible, gaps between the cells and between the rows. Cells show
// what the dot-matrix text picture shows (dot_matrix.h): downloaded glyphs,
// the built-in font, or an outlined box. The cursor is not drawn, and a
// blinking screen is drawn lit.
//
// Pixels only; the simulator's runtime writes them to a PNG file (when: docs/simulator.md, "A
// picture of the display").
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/model/observable_state.h"

namespace sim {

struct Colour {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  bool operator==(const Colour&) const = default;
};

// Rows of pixels from top to bottom, each from left to right.
struct Picture {
  std::size_t width = 0;
  std::size_t height = 0;
  std::vector<Colour> pixels;  // width * height

  Colour at(std::size_t x, std::size_t y) const { return pixels[y * width + x]; }
};

struct PixelPoint {
  std::size_t x = 0;
  std::size_t y = 0;
};

// The centre of one dot: dot column 0..4 and dot row 0..7 (0 the top) of the
// cell in screen row 0..1 and column 0..19.
PixelPoint dot_centre(std::size_t row, std::size_t column, std::size_t dot_column, std::size_t dot_row);

Picture draw_display(const ObservableState& state);

}  // namespace sim
