// The display's command decoding, fed directly and in every split.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "sim/model/display_firmware.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(std::initializer_list<int> values) {
  Bytes bytes;
  for (int value : values) bytes.push_back(static_cast<std::uint8_t>(value));
  return bytes;
}

Bytes text(const std::string& characters) { return Bytes(characters.begin(), characters.end()); }

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct Outcome {
  sim::ObservableState state;
  sim::TraceLines trace;
};

// Feeds `input` in pieces of the given sizes (the rest in one last piece).
Outcome feed_in_pieces(const Bytes& input, const std::vector<std::size_t>& piece_sizes) {
  sim::DisplayFirmware display;
  sim::TraceLines trace;
  std::size_t offset = 0;
  auto take = [&](std::size_t size) {
    display.receive(std::span(input.data() + offset, size));
    offset += size;
    for (std::string& line : display.take_trace()) trace.push_back(std::move(line));
  };
  for (std::size_t size : piece_sizes) take(std::min(size, input.size() - offset));
  take(input.size() - offset);
  return {display.state(), trace};
}

Outcome feed_whole(const Bytes& input) { return feed_in_pieces(input, {}); }

// Rows are given without their trailing blanks.
struct DecodeCase {
  const char* name;
  Bytes input;
  std::vector<std::string> trace;
  std::string row0;
  std::string row1;
  std::size_t cursor_row;
  std::size_t cursor_col;
};

std::string padded(const std::string& row) { return row + std::string(sim::kColumns - row.size(), ' '); }

// clang-format off
std::vector<DecodeCase> decode_cases() {
  const std::string tail19(19, ' ');
  return {
      {"text", text("Hi!"), {"text 48 H", "text 69 i", "text 21 !"}, "Hi!", "", 0, 3},
      {"space is printed as itself", text(" ~"), {"text 20  ", "text 7e ~"}, " ~", "", 0, 2},
      {"control and high codes are characters", bytes_of({0x00, 0x02, 0x0D, 0x1B, 0x7F, 0x80, 0xE9, 0xFF}),
       {"text 00 .", "text 02 .", "text 0d .", "text 1b .", "text 7f .", "text 80 .", "text e9 .", "text ff ."},
       "........", "", 0, 8},
      {"clear blanks and homes", concat({text("AB"), bytes_of({0x0C})}),
       {"text 41 A", "text 42 B", "clear"}, "", "", 0, 0},
      {"cursor to the lower row", concat({bytes_of({0x1F, 0x24, 0x13, 0x02}), text("Z")}),
       {"cursor col=19 row=2", "text 5a Z"}, "", tail19 + "Z", 0, 0},
      {"cursor to the upper left", concat({text("abc"), bytes_of({0x1F, 0x24, 0x00, 0x01}), text("X")}),
       {"text 61 a", "text 62 b", "text 63 c", "cursor col=0 row=1", "text 58 X"}, "Xbc", "", 0, 1},
      {"column off the screen is rejected", concat({text("ab"), bytes_of({0x1F, 0x24, 0x14, 0x01})}),
       {"text 61 a", "text 62 b", "cursor col=20 row=1 rejected"}, "ab", "", 0, 2},
      {"row 0 is rejected", bytes_of({0x1F, 0x24, 0x05, 0x00}), {"cursor col=5 row=0 rejected"}, "", "", 0, 0},
      {"row 3 is rejected", bytes_of({0x1F, 0x24, 0x05, 0x03}), {"cursor col=5 row=3 rejected"}, "", "", 0, 0},
      {"row end wraps to the next row", concat({bytes_of({0x1F, 0x24, 0x12, 0x01}), text("xyz")}),
       {"cursor col=18 row=1", "text 78 x", "text 79 y", "text 7a z"}, std::string(18, ' ') + "xy", "z", 1, 1},
      {"last cell wraps to the top", concat({bytes_of({0x1F, 0x24, 0x13, 0x02}), text("pq")}),
       {"cursor col=19 row=2", "text 70 p", "text 71 q"}, "q", tail19 + "p", 0, 1},
      {"unknown 0x1F sequence drops both bytes", concat({bytes_of({0x1F, 0x99}), text("k")}),
       {"unknown 1f 99", "text 6b k"}, "k", "", 0, 1},
      {"0x1F 0x1F is unknown, not a new prefix", concat({bytes_of({0x1F, 0x1F, 0x24}), text("k")}),
       {"unknown 1f 1f", "text 24 $", "text 6b k"}, "$k", "", 0, 2},
      {"0x0C and 0x1F inside arguments are values", bytes_of({0x1F, 0x24, 0x0C, 0x02, 0x1F, 0x45, 0x1F}),
       {"cursor col=12 row=2", "blink n=31"}, "", "", 1, 12},
      {"STX starts a frame, not a character", concat({bytes_of({0x02, 0x01, 0x44, 0x03, 0x46}), text("ok")}),
       {"frame 44", "text 6f o", "text 6b k"}, "ok", "", 0, 2},
      {"a refused frame hands the line back", concat({bytes_of({0x02, 0x05, 0x44}), text("ok")}),
       {"frame rejected length", "text 6f o", "text 6b k"}, "ok", "", 0, 2},
  };
}
// clang-format on

TEST(SimDecoder, DecodesEachCommand) {
  for (const DecodeCase& test : decode_cases()) {
    SCOPED_TRACE(test.name);
    const Outcome outcome = feed_whole(test.input);
    EXPECT_EQ(outcome.trace, test.trace);
    EXPECT_EQ(sim::row_text(outcome.state.rows[0]), padded(test.row0));
    EXPECT_EQ(sim::row_text(outcome.state.rows[1]), padded(test.row1));
    EXPECT_EQ(outcome.state.cursor_row, test.cursor_row);
    EXPECT_EQ(outcome.state.cursor_col, test.cursor_col);
    EXPECT_EQ(outcome.state.bytes_received, test.input.size());
  }
}

TEST(SimDecoder, SettingsCommandsKeepTheirValues) {
  const Outcome outcome =
      feed_whole(bytes_of({0x1F, 0x45, 0x0A, 0x1F, 0x43, 0x01, 0x1F, 0x46, 0x05, 0x1F, 0x45, 0x00}));
  EXPECT_EQ(outcome.trace,
            (sim::TraceLines{"blink n=10", "cursor_type v=1", "inter_character_wait n=5", "blink n=0"}));
  EXPECT_EQ(outcome.state.blink, 0);
  EXPECT_EQ(outcome.state.cursor_type, 1);
  EXPECT_EQ(outcome.state.inter_character_wait, 5);
  EXPECT_EQ(outcome.state.rows[0], sim::ObservableState{}.rows[0]) << "settings must not print anything";
}

TEST(SimDecoder, ClearKeepsSettings) {
  const Outcome outcome = feed_whole(bytes_of({0x1F, 0x43, 0x02, 0x1F, 0x45, 0x07, 0x0C}));
  EXPECT_EQ(outcome.state.cursor_type, 2);
  EXPECT_EQ(outcome.state.blink, 7);
}

// Upper row "ABCDE...", lower row "abcde...", then the scroll command; rows
// are given without their trailing blanks.
struct ScrollCase {
  int direction;
  int units;
  std::string trace;
  std::string row0;
  std::string row1;
};

TEST(SimDecoder, ScrollsEachDirection) {
  const std::string upper = "ABCDEFGHIJKLMNOPQRST";
  const std::string lower = "abcdefghijklmnopqrst";
  // clang-format off
  const std::vector<ScrollCase> cases = {
      {1, 1, "scroll dir=1 units=1", lower, ""},
      {2, 1, "scroll dir=2 units=1", "", upper},
      {1, 19, "scroll dir=1 units=19", "", ""},
      {3, 1, "scroll dir=3 units=1", upper.substr(1), lower.substr(1)},
      {3, 5, "scroll dir=3 units=5", upper.substr(5), lower.substr(5)},
      {4, 2, "scroll dir=4 units=2", "  " + upper.substr(0, 18), "  " + lower.substr(0, 18)},
      {4, 19, "scroll dir=4 units=19", std::string(19, ' ') + "A", std::string(19, ' ') + "a"},
      {3, 20, "scroll dir=3 units=20", "", ""},
      {4, 0, "scroll dir=4 units=0", upper, lower},
      {0, 1, "scroll dir=0 units=1 rejected", upper, lower},
      {5, 1, "scroll dir=5 units=1 rejected", upper, lower},
  };
  // clang-format on
  for (const ScrollCase& test : cases) {
    SCOPED_TRACE(test.trace);
    const Bytes input = concat({text(upper + lower), bytes_of({0x1F, 0x24, 0x07, 0x02}),
                                bytes_of({0x1F, 0x04, test.direction, test.units})});
    const Outcome outcome = feed_whole(input);
    ASSERT_FALSE(outcome.trace.empty());
    EXPECT_EQ(outcome.trace.back(), test.trace);
    EXPECT_EQ(sim::row_text(outcome.state.rows[0]), padded(test.row0));
    EXPECT_EQ(sim::row_text(outcome.state.rows[1]), padded(test.row1));
    EXPECT_EQ(outcome.state.cursor_row, 1u) << "scrolling leaves the cursor";
    EXPECT_EQ(outcome.state.cursor_col, 7u);
  }
}

TEST(SimDecoder, EverySplitGivesTheSameResult) {
  for (const DecodeCase& test : decode_cases()) {
    SCOPED_TRACE(test.name);
    const Outcome whole = feed_whole(test.input);
    const Outcome one_by_one = feed_in_pieces(test.input, std::vector<std::size_t>(test.input.size(), 1));
    EXPECT_EQ(one_by_one.state, whole.state);
    EXPECT_EQ(one_by_one.trace, whole.trace);
    for (std::size_t split = 0; split <= test.input.size(); ++split) {
      const Outcome two_pieces = feed_in_pieces(test.input, {split});
      EXPECT_EQ(two_pieces.state, whole.state) << "split at " << split;
      EXPECT_EQ(two_pieces.trace, whole.trace) << "split at " << split;
    }
  }
}

TEST(SimDecoder, RandomStreamsDecodeTheSameInAnyPieces) {
  std::mt19937 random(20240607);
  // Mostly command bytes, so sequences start, interleave and get cut often.
  const Bytes alphabet =
      bytes_of({0x0C, 0x1F, 0x1F, 0x24, 0x04, 0x45, 0x43, 0x46, 0x01, 0x02, 0x03, 0x13, 0x41, 0x99, 0xFF});
  for (int round = 0; round < 200; ++round) {
    Bytes input(std::uniform_int_distribution<std::size_t>(0, 64)(random));
    for (std::uint8_t& byte : input)
      byte = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(random)];
    std::vector<std::size_t> pieces;
    for (std::size_t total = 0; total < input.size();) {
      pieces.push_back(std::uniform_int_distribution<std::size_t>(0, 5)(random));
      total += pieces.back();
    }
    const Outcome whole = feed_whole(input);
    const Outcome pieced = feed_in_pieces(input, pieces);
    ASSERT_EQ(pieced.state, whole.state) << "round " << round;
    ASSERT_EQ(pieced.trace, whole.trace) << "round " << round;
    EXPECT_EQ(whole.state.bytes_received, input.size());
  }
}

TEST(SimDecoder, TraceIsHandedOutOnce) {
  sim::DisplayFirmware display;
  const Bytes first = text("A");
  display.receive(first);
  EXPECT_EQ(display.take_trace(), (sim::TraceLines{"text 41 A"}));
  EXPECT_TRUE(display.take_trace().empty());
  const Bytes half = bytes_of({0x1F, 0x24});
  display.receive(half);
  EXPECT_TRUE(display.take_trace().empty()) << "an open sequence has no trace line yet";
}

}  // namespace
