// The screen model: each case is a list of calls and the screen the display shows afterwards
// (the mirror fed with every byte the model sent), with the cursor where the display has it.
// A second check feeds the sent bytes into a fresh mirror: the bytes alone must make that screen,
// so the model and the display cannot drift.

#include "service_object/core/screen_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace varnel {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

Bytes bytes(std::string_view text) { return {text.begin(), text.end()}; }

std::string row_text(const ScreenCells& cells, int row) {
  const auto& r = cells[static_cast<std::size_t>(row)];
  return {r.begin(), r.end()};
}

// Runs calls on a model and records every byte sent.
struct Session {
  ScreenModel model;
  Transmission sent{64};
  Clock::time_point now{};
  std::vector<std::int32_t> results;

  // Each call makes its own writes, as each of the service object's calls does.
  void text(std::string_view t) {
    sent.begin_write();
    results.push_back(model.display_text(bytes(t), sent));
  }
  void at(int row, int column, std::string_view t) {
    sent.begin_write();
    results.push_back(model.display_text_at(row, column, bytes(t), sent));
  }
  void create(int vr, int vc, int vh, int vw, int wh, int ww) {
    results.push_back(model.create_window(vr, vc, vh, vw, wh, ww, sent));
  }
  void scroll(int direction, int units) { results.push_back(model.scroll_text(direction, units, sent)); }
  void marquee(MarqueeType type) {
    results.push_back(model.set_marquee_type(static_cast<std::int32_t>(type), now, sent));
  }
  void advance(std::chrono::milliseconds by) {
    now += by;
    model.step_marquees(now, sent);
  }
  [[nodiscard]] Bytes all() const {
    Bytes out;
    for (const auto& w : sent.writes()) out.insert(out.end(), w.begin(), w.end());
    return out;
  }
};

struct ScreenCase {
  const char* name;
  std::function<void(Session&)> calls;
  std::string upper, lower;           // the screen afterwards
  int cursor_row, cursor_column;      // the display's cursor afterwards
  std::vector<std::int32_t> results;  // every call's result, in order (empty: all success)
};

void PrintTo(const ScreenCase& c, std::ostream* os) { *os << c.name; }

class Screens : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(Screens, DisplayShowsTheModel) {
  const ScreenCase& c = GetParam();
  Session s;
  c.calls(s);
  const ScreenCells& shown = s.model.display().cells();
  EXPECT_EQ(row_text(shown, 0), c.upper);
  EXPECT_EQ(row_text(shown, 1), c.lower);
  EXPECT_EQ(s.model.display().row(), c.cursor_row);
  EXPECT_EQ(s.model.display().column(), c.cursor_column);
  // The display shows what the model composes, and the bytes alone produce it.
  EXPECT_EQ(shown, s.model.composed());
  DisplayMirror fresh;
  fresh.feed(s.all());
  EXPECT_EQ(fresh.cells(), shown);
  for (const auto& write : s.sent.writes()) EXPECT_LE(write.size(), 64u);
  if (c.results.empty()) {
    for (const auto r : s.results) EXPECT_EQ(r, 0);
  } else {
    EXPECT_EQ(s.results, c.results);
  }
}

constexpr auto kNone = MarqueeType::kNone;
constexpr auto kLeft = MarqueeType::kLeft;
constexpr auto kUp = MarqueeType::kUp;
constexpr auto kInit = MarqueeType::kInit;

INSTANTIATE_TEST_SUITE_P(Window0, Screens,
                         ::testing::Values(ScreenCase{"TextAtHome",
                                                      [](Session& s) { s.text("HELLO"); },
                                                      "HELLO               ",
                                                      "                    ",
                                                      0,
                                                      5,
                                                      {}},
                                           ScreenCase{"TextWrapsToLowerRow",
                                                      [](Session& s) { s.text("ABCDEFGHIJKLMNOPQRSTUV"); },
                                                      "ABCDEFGHIJKLMNOPQRST",
                                                      "UV                  ",
                                                      1,
                                                      2,
                                                      {}},
                                           ScreenCase{"TextPastLowerRowGoesOnAtTop",
                                                      [](Session& s) { s.at(1, 18, "XYZ"); },
                                                      "Z                   ",
                                                      "                  XY",
                                                      0,
                                                      1,
                                                      {}},
                                           ScreenCase{"ExactRowStaysPastItsEnd",
                                                      [](Session& s) { s.text("01234567890123456789"); },
                                                      "01234567890123456789",
                                                      "                    ",
                                                      0,
                                                      20,
                                                      {}},
                                           ScreenCase{"ClearInsideText",
                                                      [](Session& s) { s.text("AB\fC"); },
                                                      "C                   ",
                                                      "                    ",
                                                      0,
                                                      1,
                                                      {}},
                                           ScreenCase{"MoveOffScreenIgnored",
                                                      [](Session& s) {
                                                        s.text("AB");
                                                        s.at(5, 0, "C");
                                                      },
                                                      "ABC                 ",
                                                      "                    ",
                                                      0,
                                                      3,
                                                      {}},
                                           ScreenCase{"ScrollLeftBlanksRight",
                                                      [](Session& s) {
                                                        s.text("ABCDEFGHIJKLMNOPQRSTUVWX");
                                                        s.scroll(3, 2);
                                                      },
                                                      "CDEFGHIJKLMNOPQRST  ",
                                                      "WX                  ",
                                                      1,
                                                      4,
                                                      {}},
                                           ScreenCase{"ScrollUnknownDirectionNothing",
                                                      [](Session& s) {
                                                        s.text("A");
                                                        s.scroll(7, 1);
                                                      },
                                                      "A                   ",
                                                      "                    ",
                                                      0,
                                                      1,
                                                      {}}),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Windows, Screens,
    ::testing::Values(ScreenCase{"WindowDrawnOverWindow0",
                                 [](Session& s) {
                                   s.text("TOTAL");
                                   s.at(1, 0, "ITEM ONE  ITEM TWO..");
                                   s.create(1, 10, 1, 10, 1, 10);
                                   s.text("9.99");
                                 },
                                 "TOTAL               ",
                                 "ITEM ONE  9.99      ",
                                 1,
                                 14,
                                 {}},
                      ScreenCase{"WindowTextWrapsAndScrollsUp",
                                 [](Session& s) {
                                   s.create(0, 0, 2, 5, 2, 5);
                                   s.text("ABCDEFGHIJKL");
                                 },
                                 "FGHIJ               ",
                                 "KL                  ",
                                 1,
                                 2,
                                 {}},
                      ScreenCase{"DestroyRedrawsWhatItCovered",
                                 [](Session& s) {
                                   s.text("UNDERNEATH");
                                   s.create(0, 0, 1, 4, 1, 4);
                                   s.text("TOP!");
                                   s.results.push_back(s.model.destroy_window(s.sent));
                                 },
                                 "UNDERNEATH          ",
                                 "                    ",
                                 0,
                                 10,
                                 {}},
                      ScreenCase{"CurrentViewportOverOthers",
                                 [](Session& s) {
                                   s.create(0, 0, 1, 6, 1, 6);
                                   s.text("FIRST!");
                                   s.create(0, 3, 1, 6, 1, 6);
                                   s.text("SECOND");
                                   s.results.push_back(s.model.refresh_window(1, s.sent));
                                 },
                                 "FIRST!OND           ",
                                 "                    ",
                                 0,
                                 6,
                                 {}},
                      ScreenCase{"TallWindowScrollMovesViewport",
                                 [](Session& s) {
                                   s.create(0, 0, 1, 20, 3, 20);
                                   s.text("LINE ONE            LINE TWO            LINE THREE");
                                   s.scroll(1, 1);
                                 },
                                 "LINE TWO            ",
                                 "                    ",
                                 0,
                                 8,
                                 {}},
                      ScreenCase{"WideWindowScrollClampsAtItsEnd",
                                 [](Session& s) {
                                   s.create(1, 0, 1, 10, 1, 15);
                                   s.text("ABCDEFGHIJKLMNO");
                                   s.scroll(3, 40);
                                 },
                                 "                    ",
                                 "FGHIJKLMNO          ",
                                 1,
                                 10,
                                 {}},
                      ScreenCase{"WindowSizeScrollMovesText",
                                 [](Session& s) {
                                   s.create(0, 0, 2, 4, 2, 4);
                                   s.text("ABCDEFGH");
                                   s.scroll(2, 1);
                                 },
                                 "                    ",
                                 "ABCD                ",
                                 1,
                                 4,
                                 {}},
                      ScreenCase{"RefusedWindowsChangeNothing",
                                 [](Session& s) {
                                   s.text("KEEP");
                                   s.create(1, 0, 2, 20, 2, 20);   // viewport off the screen
                                   s.create(0, 0, 1, 10, 2, 11);   // larger in both directions
                                   s.create(0, 0, 2, 10, 1, 10);   // window smaller than the viewport
                                   s.create(0, -1, 1, 10, 1, 10);  // negative start
                                   s.results.push_back(s.model.destroy_window(s.sent));  // window 0
                                   s.at(0, 4, "!");
                                 },
                                 "KEEP!               ",
                                 "                    ",
                                 0,
                                 5,
                                 {0, 106, 106, 106, 106, 106, 0}},
                      ScreenCase{"FifthWindowRefused",
                                 [](Session& s) {
                                   for (int i = 0; i < 5; ++i) s.create(0, i, 1, 1, 1, 1);
                                   s.text("Z");
                                 },
                                 "   Z                ",
                                 "                    ",
                                 0,
                                 4,
                                 {0, 0, 0, 0, 106, 0}},
                      ScreenCase{"WindowTextAtOutsideRefused",
                                 [](Session& s) {
                                   s.create(0, 0, 1, 5, 1, 5);
                                   s.at(1, 0, "X");
                                   s.at(0, 5, "X");
                                   s.at(0, 2, "OK");
                                 },
                                 "  OK                ",
                                 "                    ",
                                 0,
                                 4,
                                 {0, 106, 106, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Marquee, Screens,
                         ::testing::Values(ScreenCase{"InitCollectsWithoutShowing",
                                                      [](Session& s) {
                                                        s.create(0, 0, 1, 5, 1, 12);
                                                        s.marquee(kInit);
                                                        s.text("WELCOME HOME");
                                                      },
                                                      "                    ",
                                                      "                    ",
                                                      0,
                                                      0,
                                                      {}},
                                           ScreenCase{"LeftWalkThreeSteps",
                                                      [](Session& s) {
                                                        s.create(0, 0, 1, 5, 1, 8);
                                                        s.model.set_marquee_unit_wait(100);
                                                        s.marquee(kInit);
                                                        s.text("WELCOME!");
                                                        s.marquee(kLeft);
                                                        s.advance(99ms);   // not due yet
                                                        s.advance(1ms);    // step 1
                                                        s.advance(100ms);  // step 2
                                                        s.advance(100ms);  // step 3
                                                      },
                                                      "  WEL               ",
                                                      "                    ",
                                                      0,
                                                      5,
                                                      {}},
                                           ScreenCase{"LeftPlaceStartsFull",
                                                      [](Session& s) {
                                                        s.create(0, 0, 1, 5, 1, 8);
                                                        s.model.set_marquee_format(
                                                            static_cast<std::int32_t>(MarqueeFormat::kPlace));
                                                        s.model.set_marquee_unit_wait(50);
                                                        s.marquee(kInit);
                                                        s.text("WELCOME!");
                                                        s.marquee(kLeft);
                                                        s.advance(50ms);
                                                      },
                                                      "ELCOM               ",
                                                      "                    ",
                                                      0,
                                                      5,
                                                      {}},
                                           ScreenCase{"PassEndsThenRepeatWaitThenAgain",
                                                      [](Session& s) {
                                                        s.create(0, 0, 1, 2, 1, 3);
                                                        s.model.set_marquee_unit_wait(20);
                                                        s.model.set_marquee_repeat_wait(500);
                                                        s.marquee(kInit);
                                                        s.text("ABC");
                                                        s.marquee(kLeft);
                                                        for (int i = 0; i < 5; ++i)
                                                          s.advance(20ms);  // the whole pass: blank again
                                                        s.advance(499ms);   // the repeat wait
                                                        s.advance(1ms);     // first step of the next pass
                                                        s.advance(20ms);
                                                      },
                                                      " A                  ",
                                                      "                    ",
                                                      0,
                                                      2,
                                                      {}},
                                           ScreenCase{"UpMarqueeOverTallWindow",
                                                      [](Session& s) {
                                                        s.create(1, 0, 1, 4, 3, 4);
                                                        s.model.set_marquee_unit_wait(30);
                                                        s.marquee(kInit);
                                                        s.text("AAAABBBBCCCC");
                                                        s.marquee(kUp);
                                                        s.advance(30ms);
                                                        s.advance(30ms);
                                                      },
                                                      "                    ",
                                                      "BBBB                ",
                                                      1,
                                                      4,
                                                      {}},
                                           ScreenCase{"NoneShowsTheWindowAsItStands",
                                                      [](Session& s) {
                                                        s.create(0, 0, 1, 5, 1, 8);
                                                        s.marquee(kInit);
                                                        s.text("WELCOME!");
                                                        s.marquee(kLeft);
                                                        s.advance(1s);
                                                        s.marquee(kNone);
                                                      },
                                                      "WELCO               ",
                                                      "                    ",
                                                      0,
                                                      5,
                                                      {}},
                                           ScreenCase{"MarqueeRefusedWhereNothingMoves",
                                                      [](Session& s) {
                                                        s.create(0, 0, 1, 5, 1, 8);
                                                        s.marquee(kUp);  // window as tall as its viewport
                                                        s.marquee(kLeft);
                                                        s.text("NO");    // refused while it runs
                                                        s.scroll(3, 1);  // refused while it runs
                                                      },
                                                      "                    ",
                                                      "                    ",
                                                      0,
                                                      0,
                                                      {0, 106, 0, 106, 106}}),
                         [](const auto& info) { return std::string(info.param.name); });

// The bytes of window 0: the display's own commands, with a move only where text crosses a row.
TEST(Window0Bytes, TheDisplaysOwnCommandsAndAMoveWhereTextCrossesARow) {
  const struct {
    const char* name;
    std::function<void(Session&)> calls;
    std::vector<Bytes> writes;
  } cases[] = {
      {"short text is one write", [](Session& s) { s.text("ABC"); }, {bytes("ABC")}},
      {"text at a place: move, then text",
       [](Session& s) { s.at(1, 19, "Z"); },
       {{0x1F, 0x24, 0x13, 0x02}, bytes("Z")}},
      {"crossing the row's end",
       [](Session& s) { s.text("ABCDEFGHIJKLMNOPQRSTU"); },
       {{'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H',  'I',  'J',  'K',  'L', 'M',
         'N', 'O', 'P', 'Q', 'R', 'S', 'T', 0x1F, 0x24, 0x00, 0x02, 'U'}}},
      {"the next call after a full row moves first",
       [](Session& s) {
         s.text("01234567890123456789");
         s.text("X");
       },
       {bytes("01234567890123456789"), {0x1F, 0x24, 0x00, 0x02, 'X'}}},
      {"cursor update off: back where it started",
       [](Session& s) {
         s.model.set_cursor_update(false);
         s.text("AB");
       },
       {{'A', 'B', 0x1F, 0x24, 0x00, 0x01}}},
  };
  for (const auto& c : cases) {
    Session s;
    c.calls(s);
    EXPECT_EQ(s.sent.writes(), c.writes) << c.name;
  }
}

// Cursor properties and read-back on window 0 and on a window.
TEST(Cursor, PropertiesAndReadBack) {
  Session s;
  s.text("HELLO");
  EXPECT_EQ(s.model.cursor_row(), 0);
  EXPECT_EQ(s.model.cursor_column(), 5);
  EXPECT_EQ(s.model.set_cursor_column(1, s.sent), 0);
  EXPECT_EQ(s.model.character_at_cursor(), std::optional<std::uint8_t>('E'));
  EXPECT_EQ(s.model.set_cursor_row(2, s.sent), 106);
  EXPECT_EQ(s.model.set_cursor_column(20, s.sent), 106);
  EXPECT_EQ(s.model.display().column(), 1) << "the display's cursor follows the model's";

  s.create(1, 5, 1, 5, 1, 5);
  EXPECT_EQ(s.model.rows(), 1);
  EXPECT_EQ(s.model.columns(), 5);
  s.text("WORLD");
  EXPECT_EQ(s.model.cursor_column(), 5);
  EXPECT_EQ(s.model.character_at_cursor(), std::nullopt) << "past the row's end";
  EXPECT_EQ(s.model.set_cursor_column(4, s.sent), 0);
  EXPECT_EQ(s.model.character_at_cursor(), std::optional<std::uint8_t>('D'));
  EXPECT_EQ(s.model.display().row(), 1);
  EXPECT_EQ(s.model.display().column(), 9);
}

// After mark_unknown the next call clears the display and draws the model before its own bytes.
TEST(Recovery, NextCallRedrawsTheModelFirst) {
  Session s;
  s.text("RECEIPT");
  s.create(1, 0, 1, 20, 1, 20);
  s.text("TOTAL 5.00");
  s.model.mark_unknown();
  Transmission after{64};
  ASSERT_EQ(s.model.display_text(bytes("!"), after), 0);
  DisplayMirror fresh;  // a display that lost power: blank
  for (const auto& w : after.writes()) fresh.feed(w);
  EXPECT_EQ(row_text(fresh.cells(), 0), "RECEIPT             ");
  EXPECT_EQ(row_text(fresh.cells(), 1), "TOTAL 5.00!         ");
  EXPECT_EQ(after.writes().front().front(), 0x0C);
  EXPECT_TRUE(s.model.known());
}

// The marquee's due times come from the clock and do not drift with late steps.
TEST(Marquee, DueTimesFollowTheWaitsWithoutDrift) {
  Session s;
  s.create(0, 0, 1, 5, 1, 10);
  s.model.set_marquee_unit_wait(100);
  s.model.set_marquee_type(static_cast<std::int32_t>(MarqueeType::kLeft), s.now, s.sent);
  ASSERT_EQ(s.model.next_marquee_step(), s.now + 100ms);
  const auto start = s.now;
  s.now = start + 130ms;  // late by 30 ms
  s.model.step_marquees(s.now, s.sent);
  EXPECT_EQ(s.model.next_marquee_step(), start + 200ms);
  s.model.stop_marquees();
  EXPECT_EQ(s.model.next_marquee_step(), std::nullopt);
  s.model.set_marquee_unit_wait(0);
  s.model.set_marquee_type(static_cast<std::int32_t>(MarqueeType::kLeft), s.now, s.sent);
  EXPECT_EQ(s.model.next_marquee_step(), s.now + std::chrono::milliseconds(ScreenModel::kMinimumUnitWaitMs));
}

}  // namespace
}  // namespace varnel
