#include "sim/model/display_picture.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "sim/model/dot_matrix.h"

namespace sim {
namespace {

// The geometry, in pixels. Dots are squares with their corners cut (round at
// this size); inside a cell they sit kDotPitch apart, and the space between
// cells and rows is wider, as on the glass of a real display.
constexpr std::size_t kGlyphWidth = 5;
constexpr std::size_t kDotSize = 6;
constexpr std::size_t kDotPitch = 8;
constexpr std::size_t kCellPitch = kGlyphWidth * kDotPitch + 10;
constexpr std::size_t kRowPitch = kGlyphHeight * kDotPitch + 18;
constexpr std::size_t kBezel = 10;               // the dark frame around the glass
constexpr std::size_t kGlassEdge = kBezel + 32;  // from the picture's edge to the first dot
constexpr std::size_t kGlowRadius = 4;           // of each of the two box blurs
constexpr std::size_t kCellWidth = (kGlyphWidth - 1) * kDotPitch + kDotSize;
constexpr std::size_t kCellHeight = (kGlyphHeight - 1) * kDotPitch + kDotSize;
constexpr std::size_t kWidth = 2 * kGlassEdge + (kColumns - 1) * kCellPitch + kCellWidth;
constexpr std::size_t kHeight = 2 * kGlassEdge + (kRows - 1) * kRowPitch + kCellHeight;

// Colours as red, green, blue from 0 to 1.
using Light = std::array<float, 3>;
constexpr Light kBezelColour = {0.035F, 0.035F, 0.04F};
constexpr Light kGlassTop = {0.06F, 0.08F, 0.09F};
constexpr Light kGlassBottom = {0.02F, 0.03F, 0.035F};
constexpr Light kDarkDot = {0.09F, 0.13F, 0.13F};
constexpr Light kLitDot = {0.45F, 1.0F, 0.88F};
constexpr Light kGlow = {0.15F, 0.8F, 0.65F};

enum class Dot : std::uint8_t { none, dark, lit };

struct Canvas {
  std::vector<Dot> dots = std::vector<Dot>(kWidth * kHeight, Dot::none);
  std::vector<float> light = std::vector<float>(kWidth * kHeight, 0.0F);
};

void draw_dot(Canvas& canvas, PixelPoint origin, bool lit) {
  for (std::size_t dy = 0; dy < kDotSize; ++dy) {
    for (std::size_t dx = 0; dx < kDotSize; ++dx) {
      const bool corner = (dx == 0 || dx == kDotSize - 1) && (dy == 0 || dy == kDotSize - 1);
      if (corner) continue;
      const std::size_t index = (origin.y + dy) * kWidth + origin.x + dx;
      canvas.dots[index] = lit ? Dot::lit : Dot::dark;
      canvas.light[index] = lit ? 1.0F : 0.0F;
    }
  }
}

void draw_cell(Canvas& canvas, std::size_t row, std::size_t column, const Glyph& glyph) {
  for (std::size_t dot_row = 0; dot_row < kGlyphHeight; ++dot_row) {
    const unsigned mask = 0x80U >> dot_row;
    for (std::size_t dot_column = 0; dot_column < kGlyphWidth; ++dot_column) {
      const PixelPoint centre = dot_centre(row, column, dot_column, dot_row);
      const PixelPoint origin{centre.x - kDotSize / 2, centre.y - kDotSize / 2};
      draw_dot(canvas, origin, (glyph[dot_column] & mask) != 0);
    }
  }
}

// One pass of a box blur of `radius` along lines of `count` values `step`
// apart, `lines` of them starting `line_step` apart.
void blur_lines(std::vector<float>& values, std::size_t count, std::size_t step, std::size_t lines,
                std::size_t line_step, std::size_t radius) {
  std::vector<float> line(count);
  const float scale = 1.0F / static_cast<float>(2 * radius + 1);
  for (std::size_t l = 0; l < lines; ++l) {
    for (std::size_t i = 0; i < count; ++i) line[i] = values[l * line_step + i * step];
    float sum = 0.0F;
    for (std::size_t i = 0; i < std::min(radius, count); ++i) sum += line[i];
    for (std::size_t i = 0; i < count; ++i) {
      if (i + radius < count) sum += line[i + radius];
      if (i > radius) sum -= line[i - radius - 1];
      values[l * line_step + i * step] = sum * scale;
    }
  }
}

// The halo of the lit dots: their light spread by two box blurs each way.
std::vector<float> glow_of(std::vector<float> light) {
  for (int pass = 0; pass < 2; ++pass) {
    blur_lines(light, kWidth, 1, kHeight, kWidth, kGlowRadius);
    blur_lines(light, kHeight, kWidth, kWidth, 1, kGlowRadius);
  }
  return light;
}

std::uint8_t channel(float value) {
  return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0F, 1.0F) * 255.0F));
}

Colour pixel_colour(const Canvas& canvas, const std::vector<float>& glow, std::size_t x, std::size_t y) {
  const bool bezel = x < kBezel || y < kBezel || x >= kWidth - kBezel || y >= kHeight - kBezel;
  if (bezel) return {channel(kBezelColour[0]), channel(kBezelColour[1]), channel(kBezelColour[2])};
  const std::size_t index = y * kWidth + x;
  const float depth = static_cast<float>(y) / static_cast<float>(kHeight - 1);
  Light colour{};
  for (std::size_t c = 0; c < colour.size(); ++c) {
    colour[c] = kGlassTop[c] + (kGlassBottom[c] - kGlassTop[c]) * depth;
    if (canvas.dots[index] == Dot::dark) colour[c] = kDarkDot[c];
    colour[c] += glow[index] * kGlow[c];
    if (canvas.dots[index] == Dot::lit) colour[c] = std::max(colour[c], kLitDot[c]);
  }
  return {channel(colour[0]), channel(colour[1]), channel(colour[2])};
}

}  // namespace

PixelPoint dot_centre(std::size_t row, std::size_t column, std::size_t dot_column, std::size_t dot_row) {
  return {kGlassEdge + column * kCellPitch + dot_column * kDotPitch + kDotSize / 2,
          kGlassEdge + row * kRowPitch + dot_row * kDotPitch + kDotSize / 2};
}

Picture draw_display(const ObservableState& state) {
  Canvas canvas;
  for (std::size_t row = 0; row < kRows; ++row) {
    for (std::size_t column = 0; column < kColumns; ++column) {
      draw_cell(canvas, row, column, shown_glyph(state.flash, state.rows[row][column]));
    }
  }
  const std::vector<float> glow = glow_of(canvas.light);
  Picture picture{kWidth, kHeight, std::vector<Colour>(kWidth * kHeight)};
  for (std::size_t y = 0; y < kHeight; ++y) {
    for (std::size_t x = 0; x < kWidth; ++x)
      picture.pixels[y * kWidth + x] = pixel_colour(canvas, glow, x, y);
  }
  return picture;
}

}  // namespace sim
