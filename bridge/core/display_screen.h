#pragma once
// What one display shows, as the bridge keeps it: two rows of twenty character codes in the
// display's code page, and a marquee per row. Every change is made here first; the display's
// writer (display_channel.h) then sends what differs from what the display last showed, and
// after the port comes back it draws the whole screen again from here.
//
// DisplayScreen is the set of calls the bridge needs; LineDisplayScreen (line_display_screen.h)
// answers them with the service object's screen model.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace bridge {

inline constexpr std::size_t kRows = 2;
inline constexpr std::size_t kColumns = 20;

using RowBytes = std::array<std::uint8_t, kColumns>;
using ScreenRows = std::array<RowBytes, kRows>;

class DisplayScreen {
 public:
  using Clock = std::chrono::steady_clock;
  virtual ~DisplayScreen() = default;

  // Shows `rows` (each padded with blanks), ending any marquee.
  virtual void set_lines(const ScreenRows& rows) = 0;
  // Places `text` at `row`, `column` (it must fit in the row), ending a marquee on that row.
  virtual void text_at(std::size_t row, std::size_t column, const std::vector<std::uint8_t>& text) = 0;
  // Blanks both rows, ending every marquee.
  virtual void clear() = 0;
  // Scrolls `text` leftwards through `row`, one column every `unit_wait`, from `now`.
  virtual void start_marquee(std::size_t row, const std::vector<std::uint8_t>& text,
                             std::chrono::milliseconds unit_wait, Clock::time_point now) = 0;
  // Ends the marquee on `row`, leaving the row blank. Harmless when none runs.
  virtual void stop_marquee(std::size_t row) = 0;
  // Moves every marquee whose step is due by `now`; answers true when a row changed.
  virtual bool advance(Clock::time_point now) = 0;
  // When the next marquee step is due, or nothing while no marquee runs.
  [[nodiscard]] virtual std::optional<Clock::time_point> next_step() const = 0;
  // The two rows as the display should show them now.
  [[nodiscard]] virtual ScreenRows rows() const = 0;
};

// A row of blanks.
[[nodiscard]] RowBytes blank_row();

// The bytes that make a display that shows `shown` (or something unknown) show `wanted`: the
// clear command alone for a blank screen, otherwise each differing row from its first column;
// an unknown display is cleared first. Empty when nothing differs. At most 49 bytes.
[[nodiscard]] std::vector<std::uint8_t> screen_update_bytes(const std::optional<ScreenRows>& shown,
                                                            const ScreenRows& wanted);

}  // namespace bridge
