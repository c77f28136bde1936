// The configuration utility's frames:
//
//   STX 0x02 | LEN | CMD | DATA (LEN - 1 bytes) | ETX 0x03 | BCC
//
// LEN counts CMD and DATA; BCC is the XOR of every byte from LEN to ETX.
// Nothing is escaped, so DATA may hold any byte, STX and ETX included.
//
// STX is also an ordinary character code of the text command set, so a unit
// counts as a frame only once its CMD is a known command: if LEN is 0 or CMD
// unknown, the bytes so far are handed back (take_unclaimed()) and the STX is
// shown as a character. Every command has a fixed DATA length, checked as soon
// as CMD arrives. A frame is applied only once its BCC has checked out; one
// line of trace each:
//
//   0x44 information request          frame 44                (replies the record)
//   0x33 baud change, code 0..4       frame 33 code=04
//   0x32 two 20-byte rows             frame 32
//   0x34 command set, 0..9            frame 34 code=07
//   0x35 default font, 0..17          frame 35 code=08
//   0x40 AA 55                        frame 40 download       (download mode)
//   0x41 international block 0..1     frame 41 index=1        (replies ACK 0x06)
//   0x42 upper block 0..19            frame 42 index=19       (replies ACK 0x06)
//   0x43 language, two letters        frame 43 code=US
//
// Codes are hex, indexes decimal. A code the display does not have, a 0x40
// with other data or an unknown language is refused: the line ends in
// " rejected" and nothing changes. A glyph block index out of range is refused
// the same way and answered with NAK 0x15. Frames that fail the checks leave
// no effect and trace why:
//
//   frame rejected length        LEN not fitting the command
//   frame rejected etx           the byte after DATA is not ETX
//   frame rejected bcc           the check byte does not match
//   frame dropped idle           abandon() on a frame left unfinished
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "sim/model/command_effects.h"
#include "sim/model/input_layer.h"

namespace sim {

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;

// The firmware version the information record reports, exactly 12 characters.
inline constexpr std::string_view kVersionText = "SIM-DSP 1.00";

using Bytes = std::vector<std::uint8_t>;

enum class ReplyKind {
  information,  // the information record
  acknowledge,  // a glyph block was stored
  refusal,      // a glyph block was refused
};

// A reply as the display means it; fault modes may reshape it on the way out.
struct Reply {
  ReplyKind kind;
  Bytes bytes;
  bool operator==(const Reply&) const = default;
};

using Replies = std::vector<Reply>;

// The reply to 0x44, itself a frame of 22 bytes:
//
//   0      STX
//   1      LEN 0x12
//   2      CMD 0x44
//   3..14  kVersionText
//   15     command-set code
//   16     default-font code
//   17     language: its position in kLanguageCodes (0xFF if unknown)
//   18     baud code
//   19     reserved, 0
//   20     ETX
//   21     BCC
Bytes information_record(const FlashSettings& flash);

// Builds a frame around a command and its data (for tests and tools).
Bytes make_frame(std::uint8_t command, std::span<const std::uint8_t> data);

class FrameLayer final : public InputLayer {
 public:
  FrameLayer(CommandEffects& effects, TraceLines& trace, Replies& replies)
      : effects_(effects), trace_(trace), replies_(replies) {}

  // Takes the bytes of one frame, STX first.
  bool feed(std::uint8_t byte) override;

  // Ends an unfinished unit (the line went quiet in its middle): a frame is
  // dropped, bytes not yet known to be one are handed back.
  void abandon();

  // After a unit that turned out not to be a frame: its bytes, STX first, for
  // the text command set; empty otherwise. Each call hands them out once.
  Bytes take_unclaimed();

 private:
  enum class Stage { start, length, command, data, etx, bcc };

  bool reject(std::string_view reason);
  bool not_a_frame(std::uint8_t last_byte);
  void apply();

  CommandEffects& effects_;
  TraceLines& trace_;
  Replies& replies_;
  Stage stage_ = Stage::start;
  std::uint8_t length_ = 0;
  std::uint8_t command_ = 0;
  std::uint8_t check_ = 0;
  std::array<std::uint8_t, 255> data_{};
  std::size_t data_count_ = 0;
  Bytes unclaimed_;
};

}  // namespace sim
