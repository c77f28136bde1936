// The state file's text form and the screen picture.
#include "sim/model/observable_state.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/model/screen_view.h"

namespace {

sim::ObservableState sample_state() {
  sim::ObservableState state;
  const std::string upper = "HELLO";
  for (std::size_t column = 0; column < upper.size(); ++column)
    state.rows[0][column] = static_cast<std::uint8_t>(upper[column]);
  state.rows[1][0] = 0x00;
  state.rows[1][1] = 0x7F;
  state.rows[1][19] = 0xE9;
  state.cursor_row = 1;
  state.cursor_col = 19;
  state.blink = 10;
  state.cursor_type = 255;
  state.inter_character_wait = 5;
  state.bytes_received = 123456789012ULL;
  return state;
}

const char kSampleText[] =
    "row0_hex=48454c4c4f202020202020202020202020202020\n"
    "row1_hex=007f2020202020202020202020202020202020e9\n"
    "row0_text=HELLO               \n"
    "row1_text=..                 .\n"
    "cursor_row=1\n"
    "cursor_col=19\n"
    "blink=10\n"
    "cursor_type=255\n"
    "inter_character_wait=5\n"
    "bytes_received=123456789012\n";

// The keys beyond those of kSampleText, at their defaults: a state file that holds only
// kSampleText's keys still reads, the others taking these values.
std::string later_keys_at_defaults() {
  return "line_speed=9600\nmode=normal\nframes_ok=0\nframes_rejected=0\ngarbage_bytes=0\n"
         "command_set=0\ndefault_font=0\nlanguage=US\nbaud_code=0\ninternational_blocks=0\n"
         "international_glyphs=" +
         std::string(128, '0') + "\nupper_blocks=0\nupper_glyphs=" + std::string(1280, '0') + "\n";
}

TEST(SimState, FormatsEveryKeyInOrder) {
  EXPECT_EQ(sim::format_state(sample_state()), kSampleText + later_keys_at_defaults());
}

TEST(SimState, RoundTrips) {
  for (const sim::ObservableState& state : {sim::ObservableState{}, sample_state()}) {
    const sim::Parsed<sim::ObservableState> parsed = sim::parse_state(sim::format_state(state));
    ASSERT_TRUE(parsed.value) << parsed.error;
    EXPECT_EQ(*parsed.value, state);
  }
}

TEST(SimState, ReadsAnyOrderBlankLinesUnknownKeysAndUppercaseHex) {
  const std::string text =
      "inter_character_wait=5\r\n\nfuture_setting=7\nblink=10\ncursor_type=255\ncursor_col=19\ncursor_row=1\n"
      "row1_text=..                 .\nrow0_text=HELLO               \nbytes_received=123456789012\n"
      "row0_hex=48454C4C4F202020202020202020202020202020\nrow1_hex=007f2020202020202020202020202020202020E9";
  const sim::Parsed<sim::ObservableState> parsed = sim::parse_state(text);
  ASSERT_TRUE(parsed.value) << parsed.error;
  EXPECT_EQ(*parsed.value, sample_state());
}

struct BadStateCase {
  std::string replace;  // a line of the sample text
  std::string with;     // its replacement ("" deletes it)
  std::string error;    // a part of the expected message
};

TEST(SimState, RejectsBadTextWithAClearMessage) {
  const std::vector<BadStateCase> cases = {
      {"cursor_row=1\n", "", "key 'cursor_row' is missing"},
      {"blink=10\n", "blink=10\nblink=11\n", "key 'blink' appears twice"},
      {"blink=10\n", "blink\n", "line 7 is not key=value"},
      {"blink=10\n", "=10\n", "not key=value"},
      {"cursor_row=1\n", "cursor_row=2\n", "cursor_row='2' is not a number from 0 to 1"},
      {"cursor_col=19\n", "cursor_col=20\n", "cursor_col='20' is not a number from 0 to 19"},
      {"blink=10\n", "blink=256\n", "blink='256' is not a number from 0 to 255"},
      {"inter_character_wait=5\n", "inter_character_wait=-1\n", "inter_character_wait='-1'"},
      {"inter_character_wait=5\n", "inter_character_wait=5x\n", "inter_character_wait='5x'"},
      {"inter_character_wait=5\n", "inter_character_wait=\n", "inter_character_wait=''"},
      {"bytes_received=123456789012\n", "bytes_received=18446744073709551616\n", "bytes_received="},
      {"row0_hex=48454c4c4f202020202020202020202020202020\n",
       "row0_hex=48454c4c4f2020202020202020202020202020\n", "row0_hex has 38 digits, expected 40"},
      {"row0_hex=48454c4c4f202020202020202020202020202020\n",
       "row0_hex=48454c4c4f2020202020202020202020202020zz\n",
       "row0_hex holds a character that is not a hex digit"},
      {"row0_text=HELLO               \n", "row0_text=HELLO!              \n",
       "row0_text='HELLO!              ' does not match row0_hex"},
  };
  for (const BadStateCase& test : cases) {
    std::string text = kSampleText;
    const std::size_t at = text.find(test.replace);
    ASSERT_NE(at, std::string::npos) << test.replace;
    text.replace(at, test.replace.size(), test.with);
    SCOPED_TRACE(text);
    const sim::Parsed<sim::ObservableState> parsed = sim::parse_state(text);
    EXPECT_FALSE(parsed.value);
    EXPECT_NE(parsed.error.find(test.error), std::string::npos) << "error was: " << parsed.error;
  }
}

TEST(SimScreenView, DrawsTheRowsInAFrameWithTheCursorMarked) {
  const std::vector<std::string> plain = sim::render_screen(sample_state(), false);
  ASSERT_EQ(plain.size(), sim::kScreenViewLines);
  EXPECT_EQ(plain[0], "+--------------------+");
  EXPECT_EQ(plain[1], "|HELLO               |");
  EXPECT_EQ(plain[2], "|..                 .|");
  EXPECT_EQ(plain[3], plain[0]);
  EXPECT_EQ(plain[4],
            "cursor row=1 col=19  blink=10  cursor_type=255  inter_character_wait=5  bytes=123456789012");

  const std::vector<std::string> marked = sim::render_screen(sample_state(), true);
  EXPECT_EQ(marked[1], plain[1]);
  EXPECT_EQ(marked[2], "|..                 \x1b[7m.\x1b[0m|");
}

}  // namespace
