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

TwoRowScreen::TwoRowScreen() { rows_.fill(blank_row()); }

void TwoRowScreen::set_lines(const ScreenRows& rows) {
  rows_ = rows;
  marquees_.fill(std::nullopt);
}

void TwoRowScreen::text_at(std::size_t row, std::size_t column, const std::vector<std::uint8_t>& text) {
  if (row >= kRows || column > kColumns || text.size() > kColumns - column) return;
  if (marquees_[row]) {
    marquees_[row].reset();
    rows_[row] = blank_row();
  }
  std::copy(text.begin(), text.end(), rows_[row].begin() + static_cast<std::ptrdiff_t>(column));
}

void TwoRowScreen::clear() { set_lines({blank_row(), blank_row()}); }

void TwoRowScreen::start_marquee(std::size_t row, const std::vector<std::uint8_t>& text,
                                 std::chrono::milliseconds unit_wait, Clock::time_point now) {
  if (row >= kRows) return;
  Marquee marquee;
  marquee.track.assign(kColumns, kBlank);
  marquee.track.insert(marquee.track.end(), text.begin(), text.end());
  marquee.unit_wait = std::max(unit_wait, std::chrono::milliseconds(1));
  marquee.next = now + marquee.unit_wait;
  marquees_[row] = std::move(marquee);
  show_marquee(row);
}

void TwoRowScreen::stop_marquee(std::size_t row) {
  if (row >= kRows || !marquees_[row]) return;
  marquees_[row].reset();
  rows_[row] = blank_row();
}

bool TwoRowScreen::advance(Clock::time_point now) {
  bool changed = false;
  for (std::size_t row = 0; row < kRows; ++row) {
    auto& marquee = marquees_[row];
    if (!marquee || now < marquee->next) continue;
    // A late step moves one column, not several: the text never jumps.
    marquee->offset = (marquee->offset + 1) % marquee->track.size();
    marquee->next = std::max(marquee->next + marquee->unit_wait, now);
    const RowBytes before = rows_[row];
    show_marquee(row);
    changed = changed || rows_[row] != before;
  }
  return changed;
}

std::optional<DisplayScreen::Clock::time_point> TwoRowScreen::next_step() const {
  std::optional<Clock::time_point> next;
  for (const auto& marquee : marquees_) {
    if (marquee && (!next || marquee->next < *next)) next = marquee->next;
  }
  return next;
}

void TwoRowScreen::show_marquee(std::size_t row) {
  const Marquee& marquee = *marquees_[row];
  for (std::size_t column = 0; column < kColumns; ++column)
    rows_[row][column] = marquee.track[(marquee.offset + column) % marquee.track.size()];
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
