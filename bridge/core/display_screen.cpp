#include "bridge/core/display_screen.h"

#include <algorithm>

#include "service_object/core/display_commands.h"

namespace bridge {
namespace {

constexpr std::uint8_t kBlank = ' ';

bool is_blank(const ScreenRows& rows) {
  return std::all_of(rows.begin(), rows.end(), [](const RowBytes& row) { return row == blank_row(); });
}

}  // namespace

RowBytes blank_row() {
  RowBytes row;
  row.fill(kBlank);
  return row;
}

std::vector<std::uint8_t> screen_update_bytes(const std::optional<ScreenRows>& shown,
                                              const ScreenRows& wanted) {
  if (shown == wanted) return {};
  std::vector<std::uint8_t> bytes;
  const varnel::DisplayCommand clear_bytes = varnel::clear_command();  // owns the bytes the span shows
  const auto clear = clear_bytes.span();
  if (is_blank(wanted)) return {clear.begin(), clear.end()};
  if (!shown) bytes.assign(clear.begin(), clear.end());
  for (std::size_t row = 0; row < kRows; ++row) {
    const bool blank_after_clear = !shown && wanted[row] == blank_row();
    if (blank_after_clear || (shown && (*shown)[row] == wanted[row])) continue;
    const varnel::DisplayCommand move = varnel::cursor_position_command(static_cast<std::int32_t>(row), 0);
    const auto cursor = move.span();
    bytes.insert(bytes.end(), cursor.begin(), cursor.end());
    bytes.insert(bytes.end(), wanted[row].begin(), wanted[row].end());
  }
  return bytes;
}

}  // namespace bridge
