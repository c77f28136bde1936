// The bridge's screen over the service object's screen model: each case is a few calls, with the
// marquee's clock driven by the screen's own next_step(), and the two rows expected after them.
#include "bridge/core/line_display_screen.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace bridge {
namespace {

using Clock = DisplayScreen::Clock;

std::vector<std::uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

RowBytes row_of(const std::string& text) {
  RowBytes row = blank_row();
  std::copy(text.begin(), text.end(), row.begin());
  return row;
}

std::string text_of(const RowBytes& row) { return {row.begin(), row.end()}; }

// Takes `steps` marquee steps, each at the moment the screen says it is due.
void step(DisplayScreen& screen, int steps) {
  for (int i = 0; i < steps; ++i) {
    const auto due = screen.next_step();
    ASSERT_TRUE(due.has_value()) << "no marquee step due after " << i << " steps";
    screen.advance(*due);
  }
}

struct ScreenCase {
  const char* name;
  std::function<void(DisplayScreen&)> calls;
  std::string row0;
  std::string row1;
  bool marquee_runs;
};

constexpr Clock::time_point kStart{};
constexpr auto kUnit = std::chrono::milliseconds(100);

class LineDisplayScreenTable : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(LineDisplayScreenTable, ShowsTheExpectedRows) {
  LineDisplayScreen screen;
  GetParam().calls(screen);
  const ScreenRows rows = screen.rows();
  EXPECT_EQ(text_of(rows[0]), text_of(row_of(GetParam().row0)));
  EXPECT_EQ(text_of(rows[1]), text_of(row_of(GetParam().row1)));
  EXPECT_EQ(screen.next_step().has_value(), GetParam().marquee_runs);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, LineDisplayScreenTable,
    ::testing::Values(ScreenCase{"LinesFillBothRows",
                                 [](DisplayScreen& s) {
                                   s.set_lines({row_of("Total"), row_of("12345678901234567890")});
                                 },
                                 "Total", "12345678901234567890", false},
                      ScreenCase{"TextAtKeepsTheRestOfTheRow",
                                 [](DisplayScreen& s) {
                                   s.set_lines({row_of("Total      0.00"), row_of("")});
                                   s.text_at(0, 11, bytes("9.99"));
                                 },
                                 "Total      9.99", "", false},
                      ScreenCase{"MarqueeStartsBlankAndEntersFromTheRight",
                                 [](DisplayScreen& s) {
                                   s.set_lines({row_of("Total 9.99"), row_of("")});
                                   s.start_marquee(1, bytes("SALE"), kUnit, kStart);
                                   step(s, 1);
                                 },
                                 "Total 9.99", "                   S", true},
                      ScreenCase{"MarqueeReachesTheFirstColumnAfterTwentySteps",
                                 [](DisplayScreen& s) {
                                   s.start_marquee(0, bytes("SALE"), kUnit, kStart);
                                   step(s, 20);
                                 },
                                 "SALE", "", true},
                      ScreenCase{"LongMarqueeTextScrollsThroughTheRow",
                                 [](DisplayScreen& s) {
                                   s.start_marquee(0, bytes("Welcome to the corner shop"), kUnit, kStart);
                                   step(s, 26);
                                 },
                                 "e to the corner shop", "", true},
                      // A pass takes the text out on the left, then it enters again from the right.
                      ScreenCase{"MarqueeComesRoundAgain",
                                 [](DisplayScreen& s) {
                                   s.start_marquee(0, bytes("SALE"), kUnit, kStart);
                                   step(s, 41 + 1 + 20);
                                 },
                                 "SALE", "", true},
                      ScreenCase{"TextOnTheMarqueeRowEndsIt",
                                 [](DisplayScreen& s) {
                                   s.start_marquee(1, bytes("SALE"), kUnit, kStart);
                                   step(s, 5);
                                   s.text_at(1, 2, bytes("x"));
                                 },
                                 "", "  x", false},
                      ScreenCase{"TextOnTheOtherRowKeepsTheMarquee",
                                 [](DisplayScreen& s) {
                                   s.start_marquee(1, bytes("SALE"), kUnit, kStart);
                                   step(s, 20);
                                   s.text_at(0, 0, bytes("Hi"));
                                 },
                                 "Hi", "SALE", true},
                      ScreenCase{"StoppedMarqueeLeavesItsRowBlank",
                                 [](DisplayScreen& s) {
                                   s.set_lines({row_of("Kept"), row_of("")});
                                   s.start_marquee(1, bytes("SALE"), kUnit, kStart);
                                   step(s, 20);
                                   s.stop_marquee(1);
                                 },
                                 "Kept", "", false},
                      ScreenCase{"LinesEndEveryMarquee",
                                 [](DisplayScreen& s) {
                                   s.start_marquee(0, bytes("ONE"), kUnit, kStart);
                                   s.start_marquee(1, bytes("TWO"), kUnit, kStart);
                                   step(s, 3);
                                   s.set_lines({row_of("A"), row_of("B")});
                                 },
                                 "A", "B", false},
                      ScreenCase{"ClearBlanksBothRows",
                                 [](DisplayScreen& s) {
                                   s.set_lines({row_of("A"), row_of("B")});
                                   s.start_marquee(0, bytes("SALE"), kUnit, kStart);
                                   s.clear();
                                 },
                                 "", "", false},
                      ScreenCase{"TextPastTheRowIsRefusedAndChangesNothing",
                                 [](DisplayScreen& s) {
                                   s.set_lines({row_of("Kept"), row_of("")});
                                   s.text_at(0, 18, bytes("abc"));
                                   s.text_at(2, 0, bytes("a"));
                                 },
                                 "Kept", "", false}),
    [](const ::testing::TestParamInfo<ScreenCase>& param) { return std::string(param.param.name); });

// Two marquees step on one clock: a step of one row leaves the other where it stands.
TEST(LineDisplayScreenMarquees, TwoRowsScrollIndependently) {
  LineDisplayScreen screen;
  screen.start_marquee(0, bytes("FAST"), std::chrono::milliseconds(50), kStart);
  screen.start_marquee(1, bytes("SLOW"), std::chrono::milliseconds(100), kStart);
  EXPECT_TRUE(screen.advance(kStart + std::chrono::milliseconds(1000)));
  const ScreenRows rows = screen.rows();
  // Each row took one step for the one late call: a late marquee does not jump.
  EXPECT_EQ(text_of(rows[0]), text_of(row_of("                   F")));
  EXPECT_EQ(text_of(rows[1]), text_of(row_of("                   S")));
}

}  // namespace
}  // namespace bridge
