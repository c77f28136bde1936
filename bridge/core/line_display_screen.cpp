#include "bridge/core/line_display_screen.h"

#include <algorithm>
#include <limits>

namespace bridge {
namespace {

constexpr auto kRowWidth = static_cast<std::int32_t>(kColumns);

// The commands the model writes are not sent (see the header); each call takes a scratch one.
varnel::Transmission scratch() { return varnel::Transmission{}; }

}  // namespace

LineDisplayScreen::LineDisplayScreen() {
  for (std::size_t row = 0; row < kRows; ++row) renew_row(row, kRowWidth);
}

void LineDisplayScreen::renew_row(std::size_t row, std::int32_t width) {
  auto out = scratch();
  if (windows_[row] != 0) {
    model_.set_current_window(windows_[row], out);
    model_.destroy_window(out);
  }
  // Both rows fit on the screen and the widest window stays within the model's limit, so the
  // model takes it: the request handler refuses longer marquee texts.
  model_.create_window(static_cast<std::int32_t>(row), 0, 1, kRowWidth, 1, width, out);
  windows_[row] = model_.current_window();
  marquee_rows_[row] = false;
}

void LineDisplayScreen::select_row(std::size_t row) {
  if (marquee_runs(row)) {
    renew_row(row, kRowWidth);
    return;
  }
  auto out = scratch();
  model_.set_current_window(windows_[row], out);
}

void LineDisplayScreen::set_lines(const ScreenRows& rows) {
  for (std::size_t row = 0; row < kRows; ++row) {
    select_row(row);
    auto out = scratch();
    model_.display_text_at(0, 0, rows[row], out);
  }
}

void LineDisplayScreen::text_at(std::size_t row, std::size_t column, const std::vector<std::uint8_t>& text) {
  if (row >= kRows || column > kColumns || text.size() > kColumns - column) return;
  select_row(row);
  auto out = scratch();
  model_.display_text_at(0, static_cast<std::int32_t>(column), text, out);
}

void LineDisplayScreen::clear() {
  for (std::size_t row = 0; row < kRows; ++row) renew_row(row, kRowWidth);
}

void LineDisplayScreen::start_marquee(std::size_t row, const std::vector<std::uint8_t>& text,
                                      std::chrono::milliseconds unit_wait, Clock::time_point now) {
  if (row >= kRows) return;
  // A marquee moves a window wider than its viewport: a short text is padded with blanks.
  const auto width = std::max(static_cast<std::int32_t>(text.size()), kRowWidth + 1);
  renew_row(row, width);
  auto out = scratch();
  const auto wait = static_cast<std::int32_t>(std::clamp<std::chrono::milliseconds::rep>(
      unit_wait.count(), varnel::ScreenModel::kMinimumUnitWaitMs, std::numeric_limits<std::int32_t>::max()));
  model_.set_marquee_unit_wait(wait);
  // The text comes round again at once: the next pass starts one step after the last.
  model_.set_marquee_repeat_wait(wait);
  model_.set_marquee_type(static_cast<std::int32_t>(varnel::MarqueeType::kInit), now, out);
  model_.display_text(text, out);
  model_.set_marquee_type(static_cast<std::int32_t>(varnel::MarqueeType::kLeft), now, out);
  marquee_rows_[row] = true;
}

void LineDisplayScreen::stop_marquee(std::size_t row) {
  if (row >= kRows || !marquee_runs(row)) return;
  renew_row(row, kRowWidth);
}

bool LineDisplayScreen::advance(Clock::time_point now) {
  const ScreenRows before = rows();
  auto out = scratch();
  model_.step_marquees(now, out);
  return rows() != before;
}

std::optional<DisplayScreen::Clock::time_point> LineDisplayScreen::next_step() const {
  return model_.next_marquee_step();
}

ScreenRows LineDisplayScreen::rows() const {
  const varnel::ScreenCells cells = model_.composed();
  ScreenRows rows{};
  for (std::size_t row = 0; row < kRows; ++row)
    std::copy(cells[row].begin(), cells[row].end(), rows[row].begin());
  return rows;
}

}  // namespace bridge
