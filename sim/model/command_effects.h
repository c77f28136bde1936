// What each decoded command does to the display: the rules by which the
// screen, cursor, settings and flash of an ObservableState change (the cursor
// wraps, a scroll blanks what moves in, a code the display lacks is refused).
// It knows nothing of bytes; DisplayFirmware decodes them and calls these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "sim/model/observable_state.h"

namespace sim {

// Scroll directions as the host sends them.
enum class ScrollDirection : std::uint8_t { up = 1, down = 2, left = 3, right = 4 };

class CommandEffects {
 public:
  const ObservableState& state() const { return state_; }

  // Shows the code at the cursor and moves the cursor one cell on. After the
  // last column of a row the cursor goes to the start of the next row, and
  // after the last cell of the lower row back to the upper left cell: the
  // display overwrites from the top rather than scrolling, so the cursor always
  // stays on the screen.
  void put_character(std::uint8_t code);

  // Blanks the whole screen and homes the cursor; the settings stay.
  void clear();

  // Moves the cursor to a zero-based row and column. A position off the screen
  // is refused (returns false) and changes nothing.
  bool move_cursor(std::size_t row, std::size_t column);

  // Shifts the whole screen by `units` rows (up, down) or columns (left,
  // right); the cells that move in are blank, and a shift by the full height or
  // width or more blanks the screen. The cursor stays where it is. An unknown
  // direction is refused (returns false) and changes nothing.
  bool scroll(std::uint8_t direction, std::size_t units);

  void set_blink(std::uint8_t value) { state_.blink = value; }
  void set_cursor_type(std::uint8_t value) { state_.cursor_type = value; }
  void set_inter_character_wait(std::uint8_t value) { state_.inter_character_wait = value; }

  void count_received(std::size_t bytes) { state_.bytes_received += bytes; }

  // Takes the flash as found at power-on; the line speed follows its baud code.
  void load_flash(const FlashSettings& flash);

  // Shows two whole rows and homes the cursor.
  void show_rows(const ScreenRow& upper, const ScreenRow& lower);

  // The flash settings; each setter refuses (returns false, changing nothing)
  // a code the display does not have. A new baud code also switches the
  // display's own line speed.
  bool set_command_set(std::uint8_t code);
  bool set_default_font(std::uint8_t code);
  bool set_baud_code(std::uint8_t code);
  bool set_language(std::string_view code);
  bool store_glyph_block(GlyphBlockKind kind, std::uint8_t index, GlyphBlock data) {
    return sim::store_glyph_block(state_.flash, kind, index, data);
  }

  void enter_download_mode() { state_.mode = DisplayMode::download; }

  void count_frame(bool accepted) { ++(accepted ? state_.frames_ok : state_.frames_rejected); }
  void count_garbage(std::size_t bytes) { state_.garbage_bytes += bytes; }

 private:
  void scroll_rows(ScrollDirection direction, std::size_t units);
  void scroll_columns(ScrollDirection direction, std::size_t units);

  ObservableState state_;
};

}  // namespace sim
