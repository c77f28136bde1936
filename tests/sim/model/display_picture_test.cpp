// The picture of the display as a customer sees it: which dots glow, and the
// dark glass between the cells.
#include "sim/model/display_picture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "sim/model/flash_settings.h"

namespace {

// A lit dot is bright blue-green; everything else on the glass stays dim,
// even beside lit dots where their glow falls.
bool looks_lit(sim::Colour colour) { return colour.green >= 200 && colour.blue >= 160; }
bool looks_dark(sim::Colour colour) { return colour.green < 110 && colour.red < 80; }

TEST(SimDisplayPicture, LightsTheDotsOfEachCellsGlyph) {
  sim::ObservableState state;
  state.rows[0][0] = '#';    // built-in: 28 7C 28 7C 28
  state.rows[0][1] = 0x80;   // downloaded below: FF 00 81 00 00
  state.rows[1][19] = 0x01;  // no glyph at all: an outlined box, FE 82 82 82 FE
  const std::array<std::uint8_t, 32> zeros{};
  ASSERT_TRUE(sim::store_glyph_block(state.flash, sim::GlyphBlockKind::upper, 0, zeros));
  state.flash.upper_glyphs[0] = 0xFF;
  state.flash.upper_glyphs[2] = 0x81;
  const sim::Picture picture = sim::draw_display(state);
  ASSERT_EQ(picture.pixels.size(), picture.width * picture.height);

  struct Case {
    std::size_t row, column, dot_column, dot_row;
    bool lit;
  };
  const Case cases[] = {
      {0, 0, 0, 0, false}, {0, 0, 1, 1, true},  {0, 0, 2, 1, false},  {0, 0, 3, 1, true},
      {0, 0, 0, 2, true},  {0, 0, 4, 2, true},  {0, 0, 0, 7, false},  // '#'
      {0, 1, 0, 0, true},  {0, 1, 0, 7, true},  {0, 1, 1, 3, false},  {0, 1, 2, 0, true},
      {0, 1, 2, 7, true},  {0, 1, 2, 3, false},  // downloaded 0x80
      {1, 19, 0, 0, true}, {1, 19, 0, 6, true}, {1, 19, 0, 7, false}, {1, 19, 2, 3, false},
      {1, 19, 4, 6, true},                       // the box
      {0, 2, 2, 3, false}, {1, 0, 0, 0, false},  // blanks
  };
  for (const Case& test : cases) {
    const sim::PixelPoint centre = sim::dot_centre(test.row, test.column, test.dot_column, test.dot_row);
    ASSERT_LT(centre.x, picture.width);
    ASSERT_LT(centre.y, picture.height);
    const sim::Colour colour = picture.at(centre.x, centre.y);
    EXPECT_TRUE(test.lit ? looks_lit(colour) : looks_dark(colour))
        << "row " << test.row << " column " << test.column << " dot " << test.dot_column << ","
        << test.dot_row << ": " << int{colour.red} << " " << int{colour.green} << " " << int{colour.blue};
  }
}

TEST(SimDisplayPicture, LitDotsGlowOnDarkGlassWithGapsBetweenCells) {
  sim::ObservableState state;
  state.rows[0][0] = '#';
  const sim::Picture picture = sim::draw_display(state);
  // Row 2 of '#' is lit across the cell: its dots glow into the gaps between
  // them, more than the same gap in a blank cell, but the gap stays darker than a dot.
  const sim::PixelPoint left = sim::dot_centre(0, 0, 1, 2);
  const sim::PixelPoint right = sim::dot_centre(0, 0, 2, 2);
  const sim::Colour glowing_gap = picture.at((left.x + right.x) / 2, left.y);
  const sim::Colour blank_gap =
      picture.at((sim::dot_centre(0, 5, 1, 2).x + sim::dot_centre(0, 5, 2, 2).x) / 2, left.y);
  EXPECT_GT(glowing_gap.green, blank_gap.green + 20);
  EXPECT_FALSE(looks_lit(glowing_gap));

  // Between the last dot of one cell and the first of the next lies glass,
  // wider than the gap between two dots of a cell.
  const sim::PixelPoint last = sim::dot_centre(0, 3, 4, 0);
  const sim::PixelPoint next = sim::dot_centre(0, 4, 0, 0);
  EXPECT_GT(next.x - last.x, right.x - left.x);
  for (std::size_t x = last.x + 4; x + 4 < next.x; ++x) EXPECT_TRUE(looks_dark(picture.at(x, last.y))) << x;
  // The corners of the picture are the dark frame.
  EXPECT_TRUE(looks_dark(picture.at(0, 0)));
  EXPECT_TRUE(looks_dark(picture.at(picture.width - 1, picture.height - 1)));
}

}  // namespace
