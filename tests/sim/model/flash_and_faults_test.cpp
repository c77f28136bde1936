// The flash file, the fault modes, the new options and the dot-matrix picture.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "sim/model/dot_matrix.h"
#include "sim/model/flash_settings.h"
#include "sim/model/reply_policy.h"

namespace {

using namespace std::chrono_literals;
using sim::Bytes;

std::array<std::uint8_t, 32> block_of(std::uint8_t first) {
  std::array<std::uint8_t, 32> block{};
  for (std::size_t index = 0; index < block.size(); ++index)
    block[index] = static_cast<std::uint8_t>(first + index);
  return block;
}

sim::FlashSettings sample_flash() {
  sim::FlashSettings flash;
  flash.command_set = 9;
  flash.default_font = 17;
  flash.language = "H8";
  flash.baud_code = 3;
  EXPECT_TRUE(sim::store_glyph_block(flash, sim::GlyphBlockKind::international, 1, block_of(0xA0)));
  EXPECT_TRUE(sim::store_glyph_block(flash, sim::GlyphBlockKind::upper, 19, block_of(0x01)));
  return flash;
}

TEST(SimFlash, RoundTripsThroughItsText) {
  for (const sim::FlashSettings& flash : {sim::FlashSettings{}, sample_flash()}) {
    const sim::Parsed<sim::FlashSettings> parsed = sim::parse_flash(sim::format_flash(flash));
    ASSERT_TRUE(parsed.value) << parsed.error;
    EXPECT_EQ(*parsed.value, flash);
  }
}

TEST(SimFlash, StateFileCarriesTheOptionalKeysToo) {
  sim::ObservableState state;
  state.line_speed = 57600;
  state.mode = sim::DisplayMode::download;
  state.frames_ok = 3;
  state.frames_rejected = 4;
  state.garbage_bytes = 5;
  state.flash = sample_flash();
  const std::string text = sim::format_state(state);
  EXPECT_NE(text.find("\nline_speed=57600\nmode=download\nframes_ok=3\nframes_rejected=4\ngarbage_bytes=5\n"
                      "command_set=9\ndefault_font=17\nlanguage=H8\nbaud_code=3\ninternational_blocks=2\n"),
            std::string::npos)
      << text;
  const sim::Parsed<sim::ObservableState> parsed = sim::parse_state(text);
  ASSERT_TRUE(parsed.value) << parsed.error;
  EXPECT_EQ(*parsed.value, state);
}

TEST(SimFlash, RefusesDamagedTextWithAClearMessage) {
  struct Case {
    std::string replace;
    std::string with;
    std::string error;
  };
  const std::vector<Case> cases = {
      {"command_set=9\n", "command_set=10\n", "command_set='10' is not a number from 0 to 9"},
      {"default_font=17\n", "default_font=18\n", "default_font='18'"},
      {"language=H8\n", "language=XX\n", "language='XX' is not a known language code"},
      {"baud_code=3\n", "baud_code=5\n", "baud_code='5'"},
      {"baud_code=3\n", "", "key 'baud_code' is missing"},
      {"international_blocks=2\n", "international_blocks=4\n", "international_blocks='4'"},
      {"upper_blocks=524288\n", "upper_blocks=1048576\n", "upper_blocks='1048576'"},
      {"international_glyphs=", "international_glyphs=0", "international_glyphs must be 128 hex digits"},
      {"upper_glyphs=", "upper_glyphs=zz", "upper_glyphs must be 1280 hex digits"},
  };
  for (const Case& test : cases) {
    std::string text = sim::format_flash(sample_flash());
    const std::size_t at = text.find(test.replace);
    ASSERT_NE(at, std::string::npos) << test.replace;
    text.replace(at, test.replace.size(), test.with);
    const sim::Parsed<sim::FlashSettings> parsed = sim::parse_flash(text);
    EXPECT_FALSE(parsed.value) << test.with;
    EXPECT_NE(parsed.error.find(test.error), std::string::npos) << "error was: " << parsed.error;
  }
}

TEST(SimFlash, AGlyphCountsOnlyOnceAllOfItsBlocksArrived) {
  sim::FlashSettings flash;
  ASSERT_TRUE(sim::store_glyph_block(flash, sim::GlyphBlockKind::international, 0, block_of(0x00)));
  // International glyphs 0..5 lie in block 0; glyph 6 (0x5E) has bytes 30..34 and needs block 1 too.
  EXPECT_EQ(sim::downloaded_glyph(flash, 0x23), (sim::Glyph{0, 1, 2, 3, 4}));
  EXPECT_EQ(sim::downloaded_glyph(flash, 0x5D), (sim::Glyph{25, 26, 27, 28, 29}));
  EXPECT_FALSE(sim::downloaded_glyph(flash, 0x5E));
  ASSERT_TRUE(sim::store_glyph_block(flash, sim::GlyphBlockKind::international, 1, block_of(0x40)));
  EXPECT_EQ(sim::downloaded_glyph(flash, 0x5E), (sim::Glyph{30, 31, 0x40, 0x41, 0x42}));
  EXPECT_EQ(sim::downloaded_glyph(flash, 0x7E), (sim::Glyph{0x57, 0x58, 0x59, 0x5A, 0x5B}));
  EXPECT_FALSE(sim::downloaded_glyph(flash, 'A')) << "not an international position";
  EXPECT_FALSE(sim::downloaded_glyph(flash, 0x80));

  ASSERT_TRUE(sim::store_glyph_block(flash, sim::GlyphBlockKind::upper, 19, block_of(0x00)));
  EXPECT_EQ(sim::downloaded_glyph(flash, 0xFF), (sim::Glyph{27, 28, 29, 30, 31}));
  EXPECT_FALSE(sim::downloaded_glyph(flash, 0xF9)) << "0xF9 starts in block 18";
  EXPECT_FALSE(sim::store_glyph_block(flash, sim::GlyphBlockKind::upper, 20, block_of(0)));
  EXPECT_FALSE(sim::store_glyph_block(flash, sim::GlyphBlockKind::international, 2, block_of(0)));
}

struct PolicyCase {
  const char* faults;
  std::vector<sim::Reply> replies;
  std::vector<std::vector<sim::Transmission>> expected;  // one list per reply
};

TEST(SimFaults, ReplyPolicyShapesEachReply) {
  const sim::Reply ack{sim::ReplyKind::acknowledge, {0x06}};
  const sim::Reply nak{sim::ReplyKind::refusal, {0x15}};
  Bytes record(22);
  for (std::size_t index = 0; index < record.size(); ++index)
    record[index] = static_cast<std::uint8_t>(index);
  const sim::Reply info{sim::ReplyKind::information, record};
  const Bytes burst_bytes = [&] {
    Bytes bytes = record;
    bytes.resize(9000, 0x00);
    return bytes;
  }();
  // clang-format off
  const std::vector<PolicyCase> cases = {
      {"", {ack, nak, info}, {{{0ms, {0x06}}}, {{0ms, {0x15}}}, {{0ms, record}}}},
      {"no-ack", {ack, nak}, {{}, {{0ms, {0x15}}}}},
      {"no-ack-after=2", {ack, ack, ack, ack}, {{{0ms, {0x06}}}, {{0ms, {0x06}}}, {}, {}}},
      {"nak-last", {ack}, {{{0ms, {0x06, 0x15}}}}},
      {"nak-first", {ack}, {{{0ms, {0x15, 0x06}}}}},
      {"delay=250", {ack, info}, {{{250ms, {0x06}}}, {{250ms, record}}}},
      {"silence", {ack, nak, info}, {{}, {}, {}}},
      {"burst=9000", {info, ack}, {{{0ms, burst_bytes}}, {{0ms, {0x06}}}}},
      {"burst=5", {info}, {{{0ms, Bytes(record.begin(), record.begin() + 5)}}}},
      {"split-info,delay=10", {info}, {{{10ms, Bytes(record.begin(), record.begin() + 21)},
                                        {110ms, Bytes(record.begin() + 21, record.end())}}}},
      {"late-ack,split-info", {info}, {{{0ms, {0x06}},
                                        {100ms, Bytes(record.begin(), record.begin() + 21)},
                                        {200ms, Bytes(record.begin() + 21, record.end())}}}},
      {"hangup-after=1", {ack, ack, info}, {{{0ms, {0x06}}}, {}, {{0ms, record}}}},
      {"chatter=40", {ack, nak}, {{}, {{0ms, {0x15}}}}},
      {"chatter=40,no-ack-after=1", {ack, ack}, {{{0ms, {0x06}}}, {}}},
  };
  // clang-format on
  for (const PolicyCase& test : cases) {
    SCOPED_TRACE(test.faults);
    sim::FaultModes modes;
    if (*test.faults != '\0') {
      const sim::Parsed<sim::FaultModes> added = sim::add_fault_modes(test.faults, modes);
      ASSERT_TRUE(added.value) << added.error;
      modes = *added.value;
    }
    sim::ReplyPolicy policy(modes);
    for (std::size_t index = 0; index < test.replies.size(); ++index) {
      EXPECT_EQ(policy.shape(test.replies[index]), test.expected[index]) << "reply " << index;
    }
  }
}

// The line is dropped, or the chatter starts, at the first glyph block the
// display does not acknowledge; nothing of the kind happens without the mode.
TEST(SimFaults, HangUpAndChatterStartAtTheFirstBlockLeftUnacknowledged) {
  struct Case {
    const char* faults;
    int hang_up_at;  // block index, -1: never
    int chatter_from;
  };
  const std::vector<Case> cases = {
      {"no-ack-after=2", -1, -1},
      {"hangup-after=2", 2, -1},
      {"hangup-after=0", 0, -1},
      {"chatter=25", -1, 0},
      {"chatter=25,no-ack-after=3", -1, 3},
  };
  const sim::Reply ack{sim::ReplyKind::acknowledge, {0x06}};
  for (const Case& test : cases) {
    SCOPED_TRACE(test.faults);
    const sim::Parsed<sim::FaultModes> added = sim::add_fault_modes(test.faults, sim::FaultModes{});
    ASSERT_TRUE(added.value) << added.error;
    sim::ReplyPolicy policy(*added.value);
    for (int block = 0; block < 5; ++block) {
      policy.shape(ack);
      EXPECT_EQ(policy.take_hang_up(), block == test.hang_up_at) << "block " << block;
      const bool chattering = test.chatter_from >= 0 && block >= test.chatter_from;
      EXPECT_EQ(policy.chatter_period(), chattering ? std::optional(25ms) : std::nullopt)
          << "block " << block;
    }
  }
}

TEST(SimFaults, RefusesBadModeLists) {
  struct Case {
    const char* list;
    const char* error;
  };
  const std::vector<Case> cases = {
      {"", "needs a mode"},
      {"loud", "unknown fault mode 'loud'"},
      {"no-ack=3", "unknown fault mode 'no-ack=3'"},
      {"delay", "delay needs =N"},
      {"delay=-1", "delay needs =N"},
      {"delay=60001", "N from 0 to 60000"},
      {"burst=0", "burst needs =N, N from 1"},
      {"no-ack-after=x", "no-ack-after needs =N"},
      {"nak-last,nak-first", "exclude each other"},
      {"silence,", "unknown fault mode ''"},
      {"chatter=0", "chatter needs =N, N from 1 to 60000"},
      {"chatter", "chatter needs =N"},
      {"hangup-after=", "hangup-after needs =N"},
  };
  for (const Case& test : cases) {
    const sim::Parsed<sim::FaultModes> added = sim::add_fault_modes(test.list, sim::FaultModes{});
    EXPECT_FALSE(added.value) << test.list;
    EXPECT_NE(added.error.find(test.error), std::string::npos) << test.list << ": " << added.error;
  }
}

// The lines of one display row's picture (8 lines) from render_dots.
std::vector<std::string> picture_lines(const std::string& picture) {
  std::vector<std::string> lines;
  for (std::size_t start = 0, end = 0; (end = picture.find('\n', start)) != std::string::npos;
       start = end + 1)
    lines.push_back(picture.substr(start, end - start));
  return lines;
}

TEST(SimDots, DrawsBuiltInAndDownloadedGlyphs) {
  sim::ObservableState state;
  state.rows[0][0] = '#';   // international position, built-in glyph
  state.rows[0][1] = 0x80;  // upper code without a download: a box
  state.rows[1][19] = 0x23;
  ASSERT_TRUE(sim::store_glyph_block(state.flash, sim::GlyphBlockKind::upper, 0, block_of(0)));
  state.flash.upper_glyphs[0] = 0xFF;  // 0x80: first column all lit, the rest from block_of(0)
  state.flash.upper_glyphs[1] = 0x00;
  state.flash.upper_glyphs[2] = 0x81;
  state.flash.upper_glyphs[3] = 0x00;
  state.flash.upper_glyphs[4] = 0x00;

  const std::vector<std::string> lines = picture_lines(sim::render_dots(state));
  ASSERT_EQ(lines.size(), 17u);
  for (const std::string& line : lines) EXPECT_EQ(line.size(), line.empty() ? 0u : 119u);
  EXPECT_TRUE(lines[8].empty()) << "a blank line between the rows";
  // '#' from the built-in font: 28 7C 28 7C 28.
  EXPECT_EQ(lines[0].substr(0, 5), ".....");
  EXPECT_EQ(lines[1].substr(0, 5), ".#.#.");
  EXPECT_EQ(lines[2].substr(0, 5), "#####");
  // 0x80 as downloaded: FF 00 81 00 00.
  EXPECT_EQ(lines[0].substr(6, 5), "#.#..");
  EXPECT_EQ(lines[3].substr(6, 5), "#....");
  EXPECT_EQ(lines[7].substr(6, 5), "#.#..");
  EXPECT_EQ(lines[0][5], ' ') << "one blank column between cells";
  EXPECT_EQ(lines[11].substr(114, 5), "#####") << "0x23 in the last cell of the lower row";

  // An international download replaces the built-in glyph of its position.
  std::array<std::uint8_t, 32> block{};
  block[0] = 0x80;  // 0x23: one dot in the top left corner
  ASSERT_TRUE(sim::store_glyph_block(state.flash, sim::GlyphBlockKind::international, 0, block));
  const std::vector<std::string> after = picture_lines(sim::render_dots(state));
  EXPECT_EQ(after[0].substr(0, 5), "#....");
  EXPECT_EQ(after[2].substr(0, 5), ".....");
  EXPECT_EQ(sim::shown_glyph(state.flash, 0x01), (sim::Glyph{0xFE, 0x82, 0x82, 0x82, 0xFE}));
  EXPECT_EQ(sim::shown_glyph(state.flash, ' '), (sim::Glyph{}));
}

}  // namespace
