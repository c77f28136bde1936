// The configuration frames, fed directly to the simulated display.
#include "sim/model/frame_layer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sim/model/display_firmware.h"

namespace {

using sim::Bytes;

Bytes frame(std::uint8_t command, const Bytes& data = {}) { return sim::make_frame(command, data); }

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes glyph_data(std::uint8_t index, std::uint8_t first) {
  Bytes data = {index};
  for (std::uint8_t offset = 0; offset < 32; ++offset)
    data.push_back(static_cast<std::uint8_t>(first + offset));
  return data;
}

struct Outcome {
  sim::ObservableState state;
  sim::TraceLines trace;
  sim::Replies replies;
};

// Feeds `input` in pieces of at most `piece` bytes (0: all at once).
Outcome feed(const Bytes& input, std::size_t piece = 0) {
  sim::DisplayFirmware display;
  Outcome outcome;
  for (std::size_t offset = 0; offset < input.size();) {
    const std::size_t size = piece == 0 ? input.size() : std::min(piece, input.size() - offset);
    display.receive(std::span(input.data() + offset, size));
    offset += size;
    for (std::string& line : display.take_trace()) outcome.trace.push_back(std::move(line));
    for (sim::Reply& reply : display.take_replies()) outcome.replies.push_back(std::move(reply));
  }
  outcome.state = display.state();
  return outcome;
}

TEST(SimFrames, KnownFramesHaveTheirWireBytes) {
  EXPECT_EQ(frame(0x44), (Bytes{0x02, 0x01, 0x44, 0x03, 0x46}));
  EXPECT_EQ(frame(0x33, {0x04}), (Bytes{0x02, 0x02, 0x33, 0x04, 0x03, 0x36}));
  EXPECT_EQ(frame(0x40, {0xAA, 0x55}), (Bytes{0x02, 0x03, 0x40, 0xAA, 0x55, 0x03, 0xBF}));
  EXPECT_EQ(frame(0x43, {'R', 'W'}), (Bytes{0x02, 0x03, 0x43, 0x52, 0x57, 0x03, 0x46}));
}

struct FrameCase {
  const char* name;
  Bytes input;
  sim::TraceLines trace;
  std::uint64_t frames_ok;
  std::uint64_t frames_rejected;
};

// clang-format off
std::vector<FrameCase> frame_cases() {
  Bytes bad_bcc = frame(0x34, {0x07});
  bad_bcc.back() ^= 0x01;
  Bytes bad_etx = frame(0x34, {0x07});
  bad_etx[bad_etx.size() - 2] = 0x04;
  return {
      {"information request", frame(0x44), {"frame 44"}, 1, 0},
      {"baud change", frame(0x33, {0x04}), {"frame 33 code=04"}, 1, 0},
      {"baud code 5 is refused", frame(0x33, {0x05}), {"frame 33 code=05 rejected"}, 0, 1},
      {"command set", frame(0x34, {0x07}), {"frame 34 code=07"}, 1, 0},
      {"no command set selected", frame(0x34, {0x0F}), {"frame 34 code=0f rejected"}, 0, 1},
      {"default font", frame(0x35, {0x11}), {"frame 35 code=11"}, 1, 0},
      {"no default font selected", frame(0x35, {0x1F}), {"frame 35 code=1f rejected"}, 0, 1},
      {"language", frame(0x43, {'D', 'E'}), {"frame 43 code=DE"}, 1, 0},
      {"unknown language", frame(0x43, {'X', 0x01}), {"frame 43 code=X. rejected"}, 0, 1},
      {"download with other data", frame(0x40, {0x55, 0xAA}), {"frame 40 rejected"}, 0, 1},
      {"international block", frame(0x41, glyph_data(1, 0)), {"frame 41 index=1"}, 1, 0},
      {"international block 2 is refused", frame(0x41, glyph_data(2, 0)), {"frame 41 index=2 rejected"}, 0, 1},
      {"upper block", frame(0x42, glyph_data(19, 0)), {"frame 42 index=19"}, 1, 0},
      {"upper block 20 is refused", frame(0x42, glyph_data(20, 0)), {"frame 42 index=20 rejected"}, 0, 1},
      {"bad check byte", bad_bcc, {"frame rejected bcc"}, 0, 1},
      {"bad end byte: the check byte after it is text", bad_etx, {"frame rejected etx", "text 32 2"}, 0, 1},
      {"length not fitting the command", Bytes{0x02, 0x03, 0x44, 0x00, 0x00, 0x03, 0x47},
       {"frame rejected length", "text 00 .", "text 00 .", "text 03 .", "text 47 G"}, 0, 1},
      {"STX and ETX inside data", frame(0x41, Bytes{0x00, 0x02, 0x03, 0x02, 0x03, 0x02, 0x03, 0x02, 0x03,
                                                  0x02, 0x03, 0x02, 0x03, 0x02, 0x03, 0x02, 0x03, 0x02, 0x03,
                                                  0x02, 0x03, 0x02, 0x03, 0x02, 0x03, 0x02, 0x03, 0x02, 0x03,
                                                  0x02, 0x03, 0x02, 0x03}),
       {"frame 41 index=0"}, 1, 0},
      {"unknown command: the STX is a character", Bytes{0x02, 0x03, 0x04, 'A'},
       {"text 02 .", "text 03 .", "text 04 .", "text 41 A"}, 0, 0},
      {"LEN 0: the STX is a character", Bytes{0x02, 0x00}, {"text 02 .", "text 00 ."}, 0, 0},
      {"a stray STX before a frame", concat({Bytes{0x02}, frame(0x44)}), {"text 02 .", "frame 44"}, 1, 0},
      {"text and frames mix", concat({Bytes{'a'}, frame(0x34, {0x01}), Bytes{0x1F, 0x24, 0x00, 0x02, 'b'}}),
       {"text 61 a", "frame 34 code=01", "cursor col=0 row=2", "text 62 b"}, 1, 0},
  };
}
// clang-format on

TEST(SimFrames, AppliesChecksAndTracesEachFrameInAnySplit) {
  for (const FrameCase& test : frame_cases()) {
    SCOPED_TRACE(test.name);
    const Outcome whole = feed(test.input);
    EXPECT_EQ(whole.trace, test.trace);
    EXPECT_EQ(whole.state.frames_ok, test.frames_ok);
    EXPECT_EQ(whole.state.frames_rejected, test.frames_rejected);
    EXPECT_EQ(whole.state.bytes_received, test.input.size());
    for (std::size_t piece : {1, 2, 3, 7}) {
      const Outcome pieced = feed(test.input, piece);
      EXPECT_EQ(pieced.state, whole.state) << "pieces of " << piece;
      EXPECT_EQ(pieced.trace, whole.trace) << "pieces of " << piece;
      EXPECT_EQ(pieced.replies, whole.replies) << "pieces of " << piece;
    }
  }
}

TEST(SimFrames, RefusedFramesChangeNothing) {
  const sim::ObservableState before;
  for (const FrameCase& test : frame_cases()) {
    if (test.frames_rejected == 0) continue;
    SCOPED_TRACE(test.name);
    sim::ObservableState after = feed(test.input).state;
    EXPECT_EQ(after.flash, before.flash);
    EXPECT_EQ(after.line_speed, before.line_speed);
    EXPECT_EQ(after.mode, before.mode);
  }
}

TEST(SimFrames, SettingsGoToFlash) {
  const Outcome outcome =
      feed(concat({frame(0x34, {0x07}), frame(0x35, {0x08}), frame(0x43, {'R', 'W'}), frame(0x33, {0x04})}));
  EXPECT_EQ(outcome.state.flash.command_set, 7);
  EXPECT_EQ(outcome.state.flash.default_font, 8);
  EXPECT_EQ(outcome.state.flash.language, "RW");
  EXPECT_EQ(outcome.state.flash.baud_code, 4);
  EXPECT_EQ(outcome.state.line_speed, 115200u);
  EXPECT_TRUE(outcome.replies.empty()) << "settings frames have no reply";
}

TEST(SimFrames, InputStringShowsBothRowsAndHomesTheCursor) {
  const std::string lines = "Line one with 20 chr" + std::string("Line two") + std::string(12, ' ');
  const Outcome outcome =
      feed(concat({Bytes{0x1F, 0x24, 0x05, 0x02}, frame(0x32, Bytes(lines.begin(), lines.end()))}));
  EXPECT_EQ(sim::row_text(outcome.state.rows[0]), "Line one with 20 chr");
  EXPECT_EQ(sim::row_text(outcome.state.rows[1]), "Line two            ");
  EXPECT_EQ(outcome.state.cursor_row, 0u);
  EXPECT_EQ(outcome.state.cursor_col, 0u);
}

TEST(SimFrames, InformationRecordCarriesVersionAndCodes) {
  const Outcome outcome = feed(concat(
      {frame(0x34, {0x07}), frame(0x35, {0x11}), frame(0x43, {'J', 'P'}), frame(0x33, {0x02}), frame(0x44)}));
  ASSERT_EQ(outcome.replies.size(), 1u);
  EXPECT_EQ(outcome.replies[0].kind, sim::ReplyKind::information);
  const Bytes& record = outcome.replies[0].bytes;
  ASSERT_EQ(record.size(), 22u);
  EXPECT_EQ(std::string(record.begin() + 3, record.begin() + 15), "SIM-DSP 1.00");
  EXPECT_EQ(record[15], 0x07) << "command set";
  EXPECT_EQ(record[16], 0x11) << "default font";
  EXPECT_EQ(record[17], 3) << "JP is the fourth language";
  EXPECT_EQ(record[18], 0x02) << "baud code";
  // The record is itself a well-formed frame.
  EXPECT_EQ(record, frame(0x44, Bytes(record.begin() + 3, record.end() - 2)));
}

TEST(SimFrames, GlyphBlocksAreAcknowledgedOrRefused) {
  const Outcome outcome = feed(concat(
      {frame(0x41, glyph_data(0, 0x10)), frame(0x42, glyph_data(20, 0)), frame(0x42, glyph_data(3, 0x80))}));
  ASSERT_EQ(outcome.replies.size(), 3u);
  EXPECT_EQ(outcome.replies[0], (sim::Reply{sim::ReplyKind::acknowledge, {0x06}}));
  EXPECT_EQ(outcome.replies[1], (sim::Reply{sim::ReplyKind::refusal, {0x15}}));
  EXPECT_EQ(outcome.replies[2], (sim::Reply{sim::ReplyKind::acknowledge, {0x06}}));
  EXPECT_EQ(outcome.state.flash.international_blocks, 0b01);
  EXPECT_EQ(outcome.state.flash.upper_blocks, 1u << 3);
  EXPECT_EQ(outcome.state.flash.international_glyphs[0], 0x10);
  EXPECT_EQ(outcome.state.flash.international_glyphs[31], 0x2F);
  EXPECT_EQ(outcome.state.flash.international_glyphs[32], 0x00) << "block 1 not sent";
  EXPECT_EQ(outcome.state.flash.upper_glyphs[96], 0x80);
}

TEST(SimFrames, DownloadModeStopsAllDecoding) {
  const Bytes input = concat({Bytes{'a'}, frame(0x40, {0xAA, 0x55}), Bytes{'b', 'c'}});
  sim::DisplayFirmware display;
  display.receive(input);
  const Bytes later = frame(0x44);
  display.receive(later);
  EXPECT_EQ(display.take_trace(), (sim::TraceLines{"text 61 a", "frame 40 download",
                                                   "download-mode bytes n=2", "download-mode bytes n=5"}));
  EXPECT_TRUE(display.take_replies().empty());
  EXPECT_EQ(display.state().mode, sim::DisplayMode::download);
  EXPECT_EQ(sim::row_text(display.state().rows[0]).substr(0, 2), "a ");
  EXPECT_EQ(display.state().bytes_received, input.size() + later.size());
}

TEST(SimFrames, GarbageIsCountedButNeverDecoded) {
  sim::DisplayFirmware display;
  const Bytes whole = frame(0x34, {0x05});
  display.receive(std::span(whole).first(3));
  display.receive_garbage(9);
  display.receive(std::span(whole).subspan(3));
  EXPECT_EQ(display.take_trace(), (sim::TraceLines{"garbage n=9", "frame 34 code=05"}));
  EXPECT_EQ(display.state().garbage_bytes, 9u);
  EXPECT_EQ(display.state().bytes_received, 15u);
}

TEST(SimFrames, AnUnfinishedUnitEndsWhenAbandoned) {
  struct Case {
    Bytes input;
    sim::TraceLines trace;
  };
  const std::vector<Case> cases = {
      {{0x02}, {"text 02 .", "text 41 A"}},
      {{0x02, 0x1F}, {"text 02 .", "unknown 1f 41"}},  // the 0x1F starts a sequence 'A' ends
      {{0x02, 0x02, 0x34, 0x05}, {"frame dropped idle", "text 41 A"}},
  };
  for (const Case& test : cases) {
    sim::DisplayFirmware display;
    display.receive(test.input);
    EXPECT_TRUE(display.frame_open());
    display.abandon_frame();
    EXPECT_FALSE(display.frame_open());
    const Bytes next = {'A'};
    display.receive(next);
    EXPECT_EQ(display.take_trace(), test.trace);
  }
}

}  // namespace
