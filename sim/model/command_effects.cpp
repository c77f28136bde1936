#include "sim/model/command_effects.h"

#include <algorithm>

namespace sim {

void CommandEffects::put_character(std::uint8_t code) {
  state_.rows[state_.cursor_row][state_.cursor_col] = code;
  if (++state_.cursor_col < kColumns) return;
  state_.cursor_col = 0;
  state_.cursor_row = (state_.cursor_row + 1) % kRows;
}

void CommandEffects::clear() {
  state_.clear_rows();
  state_.cursor_row = 0;
  state_.cursor_col = 0;
}

bool CommandEffects::move_cursor(std::size_t row, std::size_t column) {
  if (row >= kRows || column >= kColumns) return false;
  state_.cursor_row = row;
  state_.cursor_col = column;
  return true;
}

void CommandEffects::load_flash(const FlashSettings& flash) {
  state_.flash = flash;
  state_.line_speed = baud_rate(flash.baud_code).value_or(state_.line_speed);
}

void CommandEffects::show_rows(const ScreenRow& upper, const ScreenRow& lower) {
  state_.rows = {upper, lower};
  state_.cursor_row = 0;
  state_.cursor_col = 0;
}

bool CommandEffects::set_command_set(std::uint8_t code) {
  if (code >= kCommandSetCount) return false;
  state_.flash.command_set = code;
  return true;
}

bool CommandEffects::set_default_font(std::uint8_t code) {
  if (code >= kDefaultFontCount) return false;
  state_.flash.default_font = code;
  return true;
}

bool CommandEffects::set_baud_code(std::uint8_t code) {
  const std::optional<std::uint32_t> rate = baud_rate(code);
  if (!rate) return false;
  state_.flash.baud_code = code;
  state_.line_speed = *rate;
  return true;
}

bool CommandEffects::set_language(std::string_view code) {
  if (!language_number(code)) return false;
  state_.flash.language = std::string(code);
  return true;
}

bool CommandEffects::scroll(std::uint8_t direction, std::size_t units) {
  switch (static_cast<ScrollDirection>(direction)) {
    case ScrollDirection::up:
    case ScrollDirection::down: scroll_rows(static_cast<ScrollDirection>(direction), units); return true;
    case ScrollDirection::left:
    case ScrollDirection::right: scroll_columns(static_cast<ScrollDirection>(direction), units); return true;
  }
  return false;
}

void CommandEffects::scroll_rows(ScrollDirection direction, std::size_t units) {
  auto& rows = state_.rows;
  const std::size_t shift = std::min(units, kRows);
  ScreenRow blank;
  blank.fill(kBlank);
  if (direction == ScrollDirection::up) {
    std::move(rows.begin() + static_cast<std::ptrdiff_t>(shift), rows.end(), rows.begin());
    std::fill(rows.end() - static_cast<std::ptrdiff_t>(shift), rows.end(), blank);
  } else {
    std::move_backward(rows.begin(), rows.end() - static_cast<std::ptrdiff_t>(shift), rows.end());
    std::fill(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(shift), blank);
  }
}

void CommandEffects::scroll_columns(ScrollDirection direction, std::size_t units) {
  const auto shift = static_cast<std::ptrdiff_t>(std::min(units, kColumns));
  for (ScreenRow& row : state_.rows) {
    if (direction == ScrollDirection::left) {
      std::move(row.begin() + shift, row.end(), row.begin());
      std::fill(row.end() - shift, row.end(), kBlank);
    } else {
      std::move_backward(row.begin(), row.end() - shift, row.end());
      std::fill(row.begin(), row.begin() + shift, kBlank);
    }
  }
}

}  // namespace sim
