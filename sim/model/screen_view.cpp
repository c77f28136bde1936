#include "sim/model/screen_view.h"

namespace sim {
namespace {

constexpr char kReverseVideo[] = "\x1b[7m";
constexpr char kNormalVideo[] = "\x1b[0m";

std::string frame_line() { return "+" + std::string(kColumns, '-') + "+"; }

std::string row_line(const ObservableState& state, std::size_t row, bool mark_cursor) {
  const std::string text = row_text(state.rows[row]);
  if (!mark_cursor || row != state.cursor_row) return "|" + text + "|";
  return "|" + text.substr(0, state.cursor_col) + kReverseVideo + text[state.cursor_col] + kNormalVideo +
         text.substr(state.cursor_col + 1) + "|";
}

}  // namespace

std::vector<std::string> render_screen(const ObservableState& state, bool mark_cursor) {
  return {
      frame_line(),
      row_line(state, 0, mark_cursor),
      row_line(state, 1, mark_cursor),
      frame_line(),
      "cursor row=" + std::to_string(state.cursor_row) + " col=" + std::to_string(state.cursor_col) +
          "  blink=" + std::to_string(state.blink) + "  cursor_type=" + std::to_string(state.cursor_type) +
          "  inter_character_wait=" + std::to_string(state.inter_character_wait) +
          "  bytes=" + std::to_string(state.bytes_received),
  };
}

}  // namespace sim
