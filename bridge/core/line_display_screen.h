#pragma once
// The bridge's screen is the service object's screen model (service_object/core/screen_model.h):
// each row is a window of its own, one row high, so that a marquee scrolls one row while the
// other keeps its text, with the same marquee steps, timing rules and character cells as a
// LineDisplay application gets from the service object. The model's own display commands are not
// sent: the display's writer (display_channel.h) sends what differs between the rows the display
// last showed and rows(), which lets it drop superseded screens under a burst.

#include <array>

#include "bridge/core/display_screen.h"
#include "service_object/core/screen_model.h"

namespace bridge {

class LineDisplayScreen final : public DisplayScreen {
 public:
  LineDisplayScreen();
  void set_lines(const ScreenRows& rows) override;
  void text_at(std::size_t row, std::size_t column, const std::vector<std::uint8_t>& text) override;
  void clear() override;
  void start_marquee(std::size_t row, const std::vector<std::uint8_t>& text,
                     std::chrono::milliseconds unit_wait, Clock::time_point now) override;
  void stop_marquee(std::size_t row) override;
  bool advance(Clock::time_point now) override;
  [[nodiscard]] std::optional<Clock::time_point> next_step() const override;
  [[nodiscard]] ScreenRows rows() const override;

 private:
  // Gives `row` a fresh window `width` cells wide (blank, no marquee) and makes it current.
  void renew_row(std::size_t row, std::int32_t width);
  // Makes `row`'s window current; a row whose marquee runs gets a fresh blank window first.
  void select_row(std::size_t row);
  [[nodiscard]] bool marquee_runs(std::size_t row) const { return marquee_rows_[row]; }

  varnel::ScreenModel model_;
  std::array<std::int32_t, kRows> windows_{};  // the model's window number of each row
  std::array<bool, kRows> marquee_rows_{};
};

}  // namespace bridge
