#include "service_object/core/screen_model.h"

#include <algorithm>

#include "service_object/core/display_commands.h"
#include "service_object/core/opos.h"

namespace varnel {
namespace {

constexpr std::int32_t kSuccess = opos::OPOS_SUCCESS;
constexpr std::int32_t kIllegal = opos::OPOS_E_ILLEGAL;

constexpr std::int32_t kScrollUp = opos::DISP_ST_UP;
constexpr std::int32_t kScrollDown = opos::DISP_ST_DOWN;
constexpr std::int32_t kScrollLeft = opos::DISP_ST_LEFT;
constexpr std::int32_t kScrollRight = opos::DISP_ST_RIGHT;

// A cell of the screen by row and column (both on the screen).
std::uint8_t& cell(ScreenCells& screen, int row, int column) {
  return screen[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}
std::uint8_t cell(const ScreenCells& screen, int row, int column) {
  return screen[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

// A byte a drawn window keeps as a character: the two that start display commands would not show.
std::uint8_t drawable(std::uint8_t byte) {
  return byte == kClearByte || byte == kCommandIntroducer ? '?' : byte;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Transmission

void Transmission::add(std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t byte : bytes) {
    if (!open_ || writes_.back().size() >= limit_) {
      writes_.emplace_back();
      open_ = true;
    }
    writes_.back().push_back(byte);
  }
}

// ---------------------------------------------------------------------------------------------
// DisplayMirror

void DisplayMirror::clear() {
  for (auto& row : cells_) row.fill(kBlankCell);
  row_ = 0;
  column_ = 0;
}

void DisplayMirror::put(std::uint8_t byte) {
  if (column_ >= kScreenColumns) {
    // The display goes on at the next row's start (the model never lets this happen).
    column_ = 0;
    row_ = (row_ + 1) % kScreenRows;
  }
  cells_[static_cast<std::size_t>(row_)][static_cast<std::size_t>(column_)] = byte;
  ++column_;
}

void DisplayMirror::feed(std::uint8_t byte) {
  switch (stage_) {
    case Stage::kIdle:
      if (byte == kCommandIntroducer) {
        stage_ = Stage::kCommand;
      } else if (byte == kClearByte) {
        clear();
      } else {
        put(byte);
      }
      return;
    case Stage::kCommand:
      command_ = byte;
      argument_count_ = 0;
      // Cursor position and scroll take two arguments, the three settings one; any other code ends
      // the sequence.
      stage_ = (byte == kCursorPositionCode || byte == kScrollCode || byte == kBlinkRateCode ||
                byte == kCursorTypeCode || byte == kInterCharacterWaitCode)
                   ? Stage::kArguments
                   : Stage::kIdle;
      return;
    case Stage::kArguments: {
      arguments_[argument_count_++] = byte;
      const std::size_t needed = (command_ == kCursorPositionCode || command_ == kScrollCode) ? 2 : 1;
      if (argument_count_ < needed) return;
      stage_ = Stage::kIdle;
      apply_sequence();
      return;
    }
  }
}

void DisplayMirror::apply_sequence() {
  if (command_ == kCursorPositionCode) {
    const int column = arguments_[0];
    const int row = arguments_[1] - 1;
    if (row < 0 || row >= kScreenRows || column >= kScreenColumns) return;
    row_ = row;
    column_ = column;
    return;
  }
  if (command_ != kScrollCode) return;
  const int direction = arguments_[0];
  const int units = arguments_[1];
  if (direction == kScrollUp || direction == kScrollDown) {
    const int shift = std::min(units, kScreenRows);
    ScreenCells moved;
    for (auto& row : moved) row.fill(kBlankCell);
    for (int r = 0; r < kScreenRows; ++r) {
      const int from = direction == kScrollUp ? r + shift : r - shift;
      if (from >= 0 && from < kScreenRows)
        moved[static_cast<std::size_t>(r)] = cells_[static_cast<std::size_t>(from)];
    }
    cells_ = moved;
  } else if (direction == kScrollLeft || direction == kScrollRight) {
    const int shift = std::min(units, kScreenColumns);
    for (auto& row : cells_) {
      auto moved = row;
      moved.fill(kBlankCell);
      for (int c = 0; c < kScreenColumns; ++c) {
        const int from = direction == kScrollLeft ? c + shift : c - shift;
        if (from >= 0 && from < kScreenColumns)
          moved[static_cast<std::size_t>(c)] = row[static_cast<std::size_t>(from)];
      }
      row = moved;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// ScreenModel: windows and composition

ScreenModel::ScreenModel() {
  windows_[0].emplace();
  windows_[0]->cells.assign(std::size_t{kScreenRows} * kScreenColumns,
                            kBlankCell);  // unused: window0_ holds the text
}

std::uint8_t ScreenWindow::viewport_cell(int r, int c) const {
  if (marquee.type == MarqueeType::kInit && !marquee.frozen.empty())
    return marquee.frozen[static_cast<std::size_t>(r) * static_cast<std::size_t>(viewport_width) +
                          static_cast<std::size_t>(c)];
  int wr = top + r;
  int wc = left + c;
  const int p = marquee.position;
  switch (marquee.type) {
    case MarqueeType::kLeft: wc = p + c - viewport_width; break;
    case MarqueeType::kRight: wc = width - p + c; break;
    case MarqueeType::kUp: wr = p + r - viewport_height; break;
    case MarqueeType::kDown: wr = height - p + r; break;
    default: break;
  }
  if (wr < 0 || wr >= height || wc < 0 || wc >= width) return kBlankCell;
  return at(wr, wc);
}

bool ScreenModel::marquee_running(const Window& window) const {
  return window.marquee.type != MarqueeType::kNone && window.marquee.type != MarqueeType::kInit;
}

bool ScreenModel::passthrough() const {
  return current_ == 0 && windows_[0]->marquee.type == MarqueeType::kNone;
}

ScreenCells ScreenModel::composed() const {
  ScreenCells screen = window0_.cells();
  const Window& zero = *windows_[0];
  if (zero.marquee.type == MarqueeType::kInit && !zero.marquee.frozen.empty()) {
    for (int r = 0; r < kScreenRows; ++r)
      for (int c = 0; c < kScreenColumns; ++c)
        screen[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] = zero.viewport_cell(r, c);
  }
  if (current_ == 0) return screen;
  const auto paint = [&screen](const Window& w) {
    for (int r = 0; r < w.viewport_height; ++r)
      for (int c = 0; c < w.viewport_width; ++c)
        cell(screen, w.viewport_row + r, w.viewport_column + c) = w.viewport_cell(r, c);
  };
  // The current window's viewport lies over the others.
  for (int n = 1; n <= kMaxWindow; ++n)
    if (n != current_ && windows_[static_cast<std::size_t>(n)]) paint(*windows_[static_cast<std::size_t>(n)]);
  paint(current());
  return screen;
}

std::int32_t ScreenModel::rows() const { return current_ == 0 ? kScreenRows : current().height; }
std::int32_t ScreenModel::columns() const { return current_ == 0 ? kScreenColumns : current().width; }

// ---------------------------------------------------------------------------------------------
// Emitting and drawing

void ScreenModel::emit(std::span<const std::uint8_t> bytes, Transmission& out, bool to_window0) {
  out.add(bytes);
  display_.feed(bytes);
  if (to_window0) window0_.feed(bytes);
}

void ScreenModel::emit_move(int row, int column, Transmission& out, bool to_window0) {
  const std::array<std::uint8_t, 4> move{kCommandIntroducer, kCursorPositionCode,
                                         static_cast<std::uint8_t>(column),
                                         static_cast<std::uint8_t>(row + 1)};
  emit(move, out, to_window0);
}

void ScreenModel::prepare(Transmission& out) {
  if (!known_) redraw(out);
}

void ScreenModel::redraw(Transmission& out) {
  out.begin_write();
  const std::uint8_t clear = kClearByte;
  out.add(clear);
  display_.clear();
  // A sequence cut short by a failed write is over on the display's side once it sees the clear.
  known_ = true;
  draw(out);
}

void ScreenModel::draw(Transmission& out) {
  const ScreenCells want = composed();
  for (int r = 0; r < kScreenRows; ++r) {
    int c = 0;
    while (c < kScreenColumns) {
      const auto& shown = display_.cells()[static_cast<std::size_t>(r)];
      const auto& row = want[static_cast<std::size_t>(r)];
      if (shown[static_cast<std::size_t>(c)] == row[static_cast<std::size_t>(c)]) {
        ++c;
        continue;
      }
      // A run of changed cells, through gaps shorter than a cursor move.
      int end = c + 1;
      int last_changed = c;
      while (end < kScreenColumns && end - last_changed <= 4) {
        if (shown[static_cast<std::size_t>(end)] != row[static_cast<std::size_t>(end)]) last_changed = end;
        ++end;
      }
      end = last_changed + 1;
      if (display_.row() != r || display_.column() != c) emit_move(r, c, out, false);
      emit(std::span<const std::uint8_t>(row.data() + c, static_cast<std::size_t>(end - c)), out, false);
      c = end;
    }
  }
  place_cursor(out);
}

void ScreenModel::place_cursor(Transmission& out) {
  int row = 0;
  int column = 0;
  if (current_ == 0) {
    row = window0_.row();
    column = window0_.column();
  } else {
    const Window& w = current();
    row = w.viewport_row + w.row - w.top;
    column = w.viewport_column + w.column - w.left;
    if (w.row - w.top < 0 || w.row - w.top >= w.viewport_height || w.column - w.left < 0 ||
        w.column - w.left >= w.viewport_width)
      return;  // the cursor lies outside the viewport: the display's stays where it is
  }
  // Past a row's end the display cannot stand; the next text moves it.
  if (column >= kScreenColumns) return;
  if (display_.row() != row || display_.column() != column) emit_move(row, column, out, false);
}

// ---------------------------------------------------------------------------------------------
// Output

void ScreenModel::window0_text(std::span<const std::uint8_t> text, Transmission& out) {
  const bool send = passthrough();
  Window& zero = *windows_[0];
  const int row = window0_.row();
  const int column = window0_.column();
  for (const std::uint8_t byte : text) {
    // Text that would run past a row's end goes on at the next row's start by an explicit move
    // (after the lower row, at the upper row, as the display itself would).
    if (!window0_.in_sequence() && byte != kCommandIntroducer && byte != kClearByte &&
        window0_.past_row_end()) {
      const int next = (window0_.row() + 1) % kScreenRows;
      if (send) {
        emit_move(next, 0, out, true);
      } else {
        const std::array<std::uint8_t, 4> move{kCommandIntroducer, kCursorPositionCode, 0,
                                               static_cast<std::uint8_t>(next + 1)};
        window0_.feed(move);
      }
    }
    if (send) {
      emit(std::span<const std::uint8_t>(&byte, 1), out, true);
    } else {
      window0_.feed(byte);
    }
  }
  if (!zero.cursor_update && !window0_.in_sequence()) {
    const std::array<std::uint8_t, 4> back{kCommandIntroducer, kCursorPositionCode,
                                           static_cast<std::uint8_t>(std::min(column, kScreenColumns - 1)),
                                           static_cast<std::uint8_t>(row + 1)};
    if (send) {
      emit(back, out, true);
    } else {
      window0_.feed(back);
    }
  }
}

void ScreenModel::window_text(Window& w, std::span<const std::uint8_t> text) {
  const int row = w.row;
  const int column = w.column;
  for (const std::uint8_t byte : text) {
    if (w.column >= w.width) {
      w.column = 0;
      if (w.row + 1 < w.height) {
        ++w.row;
      } else {
        // At the window's end the window scrolls up one row, the new row blank.
        std::rotate(w.cells.begin(), w.cells.begin() + w.width, w.cells.end());
        std::fill(w.cells.end() - w.width, w.cells.end(), kBlankCell);
      }
    }
    w.at(w.row, w.column) = drawable(byte);
    ++w.column;
  }
  if (!w.cursor_update) {
    w.row = row;
    w.column = column;
  }
}

std::int32_t ScreenModel::display_text(std::span<const std::uint8_t> text, Transmission& out) {
  Window& w = current();
  if (marquee_running(w)) return kIllegal;
  // No text, no bytes: not even a redraw (an empty call does not touch a lost port).
  if (text.empty()) return kSuccess;
  prepare(out);
  if (current_ == 0) {
    window0_text(text, out);
    return kSuccess;
  }
  window_text(w, text);
  if (w.marquee.type != MarqueeType::kInit) draw(out);
  return kSuccess;
}

std::int32_t ScreenModel::display_text_at(std::int32_t row, std::int32_t column,
                                          std::span<const std::uint8_t> text, Transmission& out) {
  Window& w = current();
  if (marquee_running(w)) return kIllegal;
  if (current_ == 0) {
    prepare(out);
    // The display's own move, as the application gave it (a place off the screen is ignored by
    // the display and by window 0 alike).
    const std::array<std::uint8_t, 4> move{kCommandIntroducer, kCursorPositionCode,
                                           static_cast<std::uint8_t>(column & 0xFF),
                                           static_cast<std::uint8_t>(((row & 0xFF) + 1) & 0xFF)};
    if (passthrough()) {
      emit(move, out, true);
    } else {
      window0_.feed(move);
    }
    out.begin_write();
    window0_text(text, out);
    return kSuccess;
  }
  if (row < 0 || row >= w.height || column < 0 || column >= w.width) return kIllegal;
  w.row = row;
  w.column = column;
  return display_text(text, out);
}

std::int32_t ScreenModel::clear_text(Transmission& out) {
  Window& w = current();
  if (marquee_running(w)) return kIllegal;
  prepare(out);
  if (passthrough()) {
    const std::uint8_t clear = kClearByte;
    emit(std::span<const std::uint8_t>(&clear, 1), out, true);
    return kSuccess;
  }
  if (current_ == 0) {
    window0_.feed(kClearByte);
    return kSuccess;
  }
  std::fill(w.cells.begin(), w.cells.end(), kBlankCell);
  w.row = 0;
  w.column = 0;
  w.top = 0;
  w.left = 0;
  if (w.marquee.type != MarqueeType::kInit) draw(out);
  return kSuccess;
}

std::int32_t ScreenModel::scroll_text(std::int32_t direction, std::int32_t units, Transmission& out) {
  Window& w = current();
  if (marquee_running(w) || w.marquee.type == MarqueeType::kInit) return kIllegal;
  prepare(out);
  if (current_ == 0) {
    // The display's own scroll, units limited to 1..19 and the direction passed as given.
    const int u = units > 19 ? 19 : (units < 1 ? 1 : units);
    const std::array<std::uint8_t, 4> scroll{kCommandIntroducer, kScrollCode,
                                             static_cast<std::uint8_t>(direction & 0xFF),
                                             static_cast<std::uint8_t>(u)};
    emit(scroll, out, true);
    return kSuccess;
  }
  if (direction < kScrollUp || direction > kScrollRight || units < 1) return kIllegal;
  const bool vertical = direction == kScrollUp || direction == kScrollDown;
  const int forward = (direction == kScrollUp || direction == kScrollLeft) ? 1 : -1;
  if (vertical && w.height > w.viewport_height) {
    // A window taller than its viewport: the viewport moves over it, within its bounds.
    w.top = std::clamp(w.top + forward * units, 0, w.height - w.viewport_height);
  } else if (!vertical && w.width > w.viewport_width) {
    w.left = std::clamp(w.left + forward * units, 0, w.width - w.viewport_width);
  } else {
    // As large as its viewport: the text moves, blanks coming in.
    std::vector<std::uint8_t> moved(w.cells.size(), kBlankCell);
    for (int r = 0; r < w.height; ++r) {
      for (int c = 0; c < w.width; ++c) {
        const int fr = vertical ? r + forward * units : r;
        const int fc = vertical ? c : c + forward * units;
        if (fr >= 0 && fr < w.height && fc >= 0 && fc < w.width) moved[w.index(r, c)] = w.at(fr, fc);
      }
    }
    w.cells = std::move(moved);
  }
  draw(out);
  return kSuccess;
}

std::int32_t ScreenModel::create_window(std::int32_t viewport_row, std::int32_t viewport_column,
                                        std::int32_t viewport_height, std::int32_t viewport_width,
                                        std::int32_t window_height, std::int32_t window_width,
                                        Transmission& out) {
  // The viewport lies on the screen; the window is at least as large as it, and larger in one
  // direction at most.
  const auto within = [](std::int32_t start, std::int32_t size, std::int32_t limit) {
    return start >= 0 && size >= 1 && start < limit && size <= limit - start;
  };
  if (!within(viewport_row, viewport_height, kScreenRows) ||
      !within(viewport_column, viewport_width, kScreenColumns))
    return kIllegal;
  if (window_height < viewport_height || window_width < viewport_width) return kIllegal;
  if (window_height > viewport_height && window_width > viewport_width) return kIllegal;
  if (static_cast<long long>(window_height) * window_width > kMaxWindowCells) return kIllegal;
  std::int32_t free = 0;
  for (std::int32_t n = 1; n <= kMaxWindow && free == 0; ++n)
    if (!windows_[static_cast<std::size_t>(n)]) free = n;
  if (free == 0) return kIllegal;

  prepare(out);
  std::optional<Window>& slot = windows_[static_cast<std::size_t>(free)];
  slot.emplace();
  Window& w = *slot;
  w.viewport_row = viewport_row;
  w.viewport_column = viewport_column;
  w.viewport_height = viewport_height;
  w.viewport_width = viewport_width;
  w.height = window_height;
  w.width = window_width;
  w.cells.assign(static_cast<std::size_t>(window_height) * static_cast<std::size_t>(window_width),
                 kBlankCell);
  current_ = free;
  draw(out);
  return kSuccess;
}

std::int32_t ScreenModel::destroy_window(Transmission& out) {
  if (current_ == 0) return kIllegal;
  prepare(out);
  windows_[static_cast<std::size_t>(current_)].reset();
  current_ = 0;
  draw(out);
  return kSuccess;
}

std::int32_t ScreenModel::refresh_window(std::int32_t window, Transmission& out) {
  if (window < 0 || window > kMaxWindow || !windows_[static_cast<std::size_t>(window)]) return kIllegal;
  prepare(out);
  current_ = window;
  draw(out);
  return kSuccess;
}

std::int32_t ScreenModel::set_current_window(std::int32_t window, Transmission& out) {
  return refresh_window(window, out);
}

// ---------------------------------------------------------------------------------------------
// Cursor

std::int32_t ScreenModel::cursor_row() const { return current_ == 0 ? window0_.row() : current().row; }
std::int32_t ScreenModel::cursor_column() const {
  return current_ == 0 ? window0_.column() : current().column;
}

std::int32_t ScreenModel::set_cursor_row(std::int32_t row, Transmission& out) {
  if (row < 0 || row >= rows()) return kIllegal;
  const int column = std::min(cursor_column(), columns() - 1);
  prepare(out);
  if (current_ == 0) {
    if (passthrough()) {
      emit_move(row, column, out, true);
    } else {
      const std::array<std::uint8_t, 4> move{kCommandIntroducer, kCursorPositionCode,
                                             static_cast<std::uint8_t>(column),
                                             static_cast<std::uint8_t>(row + 1)};
      window0_.feed(move);
    }
    return kSuccess;
  }
  current().row = row;
  current().column = column;
  place_cursor(out);
  return kSuccess;
}

std::int32_t ScreenModel::set_cursor_column(std::int32_t column, Transmission& out) {
  if (column < 0 || column >= columns()) return kIllegal;
  prepare(out);
  if (current_ == 0) {
    if (passthrough()) {
      emit_move(window0_.row(), column, out, true);
    } else {
      const std::array<std::uint8_t, 4> move{kCommandIntroducer, kCursorPositionCode,
                                             static_cast<std::uint8_t>(column),
                                             static_cast<std::uint8_t>(window0_.row() + 1)};
      window0_.feed(move);
    }
    return kSuccess;
  }
  current().column = column;
  place_cursor(out);
  return kSuccess;
}

bool ScreenModel::cursor_update() const { return current().cursor_update; }
void ScreenModel::set_cursor_update(bool update) { current().cursor_update = update; }

std::optional<std::uint8_t> ScreenModel::character_at_cursor() const {
  if (current_ == 0) {
    if (window0_.past_row_end()) return std::nullopt;
    return window0_
        .cells()[static_cast<std::size_t>(window0_.row())][static_cast<std::size_t>(window0_.column())];
  }
  const Window& w = current();
  if (w.column >= w.width) return std::nullopt;
  return w.at(w.row, w.column);
}

// ---------------------------------------------------------------------------------------------
// Marquee

std::int32_t ScreenModel::marquee_type() const { return static_cast<std::int32_t>(current().marquee.type); }
std::int32_t ScreenModel::marquee_format() const {
  return static_cast<std::int32_t>(current().marquee.format);
}
std::int32_t ScreenModel::marquee_unit_wait() const { return current().marquee.unit_wait; }
std::int32_t ScreenModel::marquee_repeat_wait() const { return current().marquee.repeat_wait; }

std::int32_t ScreenModel::set_marquee_format(std::int32_t format) {
  if (format != static_cast<std::int32_t>(MarqueeFormat::kWalk) &&
      format != static_cast<std::int32_t>(MarqueeFormat::kPlace))
    return kIllegal;
  current().marquee.format = static_cast<MarqueeFormat>(format);
  return kSuccess;
}

std::int32_t ScreenModel::set_marquee_unit_wait(std::int32_t ms) {
  if (ms < 0) return kIllegal;
  current().marquee.unit_wait = ms;
  return kSuccess;
}

std::int32_t ScreenModel::set_marquee_repeat_wait(std::int32_t ms) {
  if (ms < 0) return kIllegal;
  current().marquee.repeat_wait = ms;
  return kSuccess;
}

int ScreenModel::marquee_start(const Window& w) const {
  if (w.marquee.format == MarqueeFormat::kWalk) return 0;
  const bool vertical = w.marquee.type == MarqueeType::kUp || w.marquee.type == MarqueeType::kDown;
  return vertical ? w.viewport_height : w.viewport_width;
}

int ScreenModel::marquee_end(const Window& w) const {
  const bool vertical = w.marquee.type == MarqueeType::kUp || w.marquee.type == MarqueeType::kDown;
  return vertical ? w.height + w.viewport_height : w.width + w.viewport_width;
}

std::int32_t ScreenModel::set_marquee_type(std::int32_t type, Clock::time_point now, Transmission& out) {
  if (type < static_cast<std::int32_t>(MarqueeType::kNone) ||
      type > static_cast<std::int32_t>(MarqueeType::kInit))
    return kIllegal;
  Window& w = current();
  const auto wanted = static_cast<MarqueeType>(type);
  const bool vertical = wanted == MarqueeType::kUp || wanted == MarqueeType::kDown;
  const bool horizontal = wanted == MarqueeType::kLeft || wanted == MarqueeType::kRight;
  // A marquee moves a window larger than its viewport in its direction.
  if ((vertical && w.height <= w.viewport_height) || (horizontal && w.width <= w.viewport_width))
    return kIllegal;
  prepare(out);
  if (wanted == MarqueeType::kInit) {
    // The viewport keeps showing what it shows until the marquee starts or stops.
    std::vector<std::uint8_t> frozen;
    const ScreenCells screen = composed();
    for (int r = 0; r < w.viewport_height; ++r)
      for (int c = 0; c < w.viewport_width; ++c)
        frozen.push_back(cell(screen, w.viewport_row + r, w.viewport_column + c));
    w.marquee.frozen = std::move(frozen);
    w.marquee.type = wanted;
    return kSuccess;
  }
  w.marquee.frozen.clear();
  w.marquee.type = wanted;
  if (vertical || horizontal) {
    w.marquee.position = marquee_start(w);
    w.marquee.due = now + std::chrono::milliseconds(std::max(w.marquee.unit_wait, kMinimumUnitWaitMs));
  }
  // Leaving Init, or starting: the viewport shows the window as it stands, or the first step.
  draw(out);
  return kSuccess;
}

std::optional<Clock::time_point> ScreenModel::next_marquee_step() const {
  std::optional<Clock::time_point> next;
  for (const auto& w : windows_) {
    if (!w || !marquee_running(*w)) continue;
    if (!next || w->marquee.due < *next) next = w->marquee.due;
  }
  return next;
}

void ScreenModel::marquee_step(Window& w) {
  const auto unit = std::chrono::milliseconds(std::max(w.marquee.unit_wait, kMinimumUnitWaitMs));
  if (w.marquee.position >= marquee_end(w)) {
    // A pass is over: the next starts afresh.
    w.marquee.position = marquee_start(w);
  } else {
    ++w.marquee.position;
  }
  // Steps are timed from when they were due, not from when they ran, so they do not drift.
  const bool pass_over = w.marquee.position >= marquee_end(w);
  w.marquee.due +=
      pass_over ? std::chrono::milliseconds(std::max(w.marquee.repeat_wait, kMinimumUnitWaitMs)) : unit;
}

void ScreenModel::step_marquees(Clock::time_point now, Transmission& out) {
  bool stepped = false;
  for (auto& w : windows_) {
    if (!w || !marquee_running(*w) || w->marquee.due > now) continue;
    marquee_step(*w);
    // A clock far behind (a suspended machine) does not replay the missed steps.
    if (w->marquee.due < now) w->marquee.due = now;
    stepped = true;
  }
  if (!stepped) return;
  prepare(out);
  draw(out);
}

void ScreenModel::stop_marquees() {
  for (auto& w : windows_) {
    if (w) {
      w->marquee.type = MarqueeType::kNone;
      w->marquee.frozen.clear();
    }
  }
}

}  // namespace varnel
