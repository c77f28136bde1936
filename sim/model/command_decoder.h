// The display's text command set: character codes, 0x0C and the 0x1F sequences.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "sim/model/command_effects.h"
#include "sim/model/input_layer.h"

namespace sim {

inline constexpr std::uint8_t kClearScreen = 0x0C;
inline constexpr std::uint8_t kCommandPrefix = 0x1F;

// Decodes one byte at a time and applies each complete command to the display,
// adding one trace line per command:
//
//   any other byte   character at the cursor     text 41 A   (hex, then the
//                                                 character, '.' if not 0x20..0x7E)
//   0x0C             clear, cursor home          clear
//   0x1F 0x24 c r    cursor to column c, row r   cursor col=0 row=1
//                    (r: 1 upper, 2 lower)
//   0x1F 0x04 d u    scroll d by u units         scroll dir=3 units=1
//   0x1F 0x45 n      blink setting               blink n=10
//   0x1F 0x43 v      cursor type                 cursor_type v=1
//   0x1F 0x46 n      inter-character wait        inter_character_wait n=5
//
// Values in traces are decimal, as sent. A cursor position off the screen or
// an unknown scroll direction leaves the display as it was; its trace line ends
// in " rejected". 0x1F followed by a byte that starts no sequence drops both
// bytes and traces them as `unknown 1f 99`: the next byte starts afresh.
class CommandDecoder final : public InputLayer {
 public:
  CommandDecoder(CommandEffects& effects, TraceLines& trace) : effects_(effects), trace_(trace) {}

  bool feed(std::uint8_t byte) override;

  // True between units: the next byte starts a new command.
  bool idle() const { return stage_ == Stage::idle; }

 private:
  enum class Stage { idle, command, arguments };

  bool start(std::uint8_t byte);
  bool select_sequence(std::uint8_t byte);
  bool collect_argument(std::uint8_t byte);

  CommandEffects& effects_;
  TraceLines& trace_;
  Stage stage_ = Stage::idle;
  std::size_t sequence_index_ = 0;  // into the table of 0x1F sequences
  std::array<std::uint8_t, 2> arguments_{};
  std::size_t argument_count_ = 0;
};

}  // namespace sim
