#include "sim/model/command_decoder.h"

#include <cstdio>
#include <iterator>
#include <string>

namespace sim {
namespace {

using Arguments = std::array<std::uint8_t, 2>;

// One 0x1F command: its second byte, how many argument bytes follow, and the
// handler that applies it and returns its trace line.
struct Sequence {
  std::uint8_t command;
  std::size_t argument_count;
  std::string (*apply)(CommandEffects& effects, const Arguments& arguments);
};

std::string text_line(std::uint8_t code) {
  char line[16];
  std::snprintf(line, sizeof line, "text %02x %c", code, is_printable_ascii(code) ? code : '.');
  return line;
}

std::string with_verdict(std::string line, bool accepted) {
  if (!accepted) line += " rejected";
  return line;
}

std::string move_cursor(CommandEffects& effects, const Arguments& arguments) {
  const std::uint8_t column = arguments[0];
  const std::uint8_t row = arguments[1];  // 1 is the upper row, 2 the lower
  const bool accepted = row >= 1 && effects.move_cursor(row - 1u, column);
  return with_verdict("cursor col=" + std::to_string(column) + " row=" + std::to_string(row), accepted);
}

std::string scroll(CommandEffects& effects, const Arguments& arguments) {
  const bool accepted = effects.scroll(arguments[0], arguments[1]);
  return with_verdict("scroll dir=" + std::to_string(arguments[0]) + " units=" + std::to_string(arguments[1]),
                      accepted);
}

std::string set_blink(CommandEffects& effects, const Arguments& arguments) {
  effects.set_blink(arguments[0]);
  return "blink n=" + std::to_string(arguments[0]);
}

std::string set_cursor_type(CommandEffects& effects, const Arguments& arguments) {
  effects.set_cursor_type(arguments[0]);
  return "cursor_type v=" + std::to_string(arguments[0]);
}

std::string set_inter_character_wait(CommandEffects& effects, const Arguments& arguments) {
  effects.set_inter_character_wait(arguments[0]);
  return "inter_character_wait n=" + std::to_string(arguments[0]);
}

constexpr Sequence kSequences[] = {
    {0x24, 2, move_cursor},               // column, row
    {0x04, 2, scroll},                    // direction, units
    {0x45, 1, set_blink},                 // blink value
    {0x43, 1, set_cursor_type},           // cursor type
    {0x46, 1, set_inter_character_wait},  // OPOS index 5012
};

}  // namespace

bool CommandDecoder::feed(std::uint8_t byte) {
  switch (stage_) {
    case Stage::idle: return start(byte);
    case Stage::command: return select_sequence(byte);
    case Stage::arguments: return collect_argument(byte);
  }
  return false;
}

bool CommandDecoder::start(std::uint8_t byte) {
  if (byte == kCommandPrefix) {
    stage_ = Stage::command;
    return true;
  }
  if (byte == kClearScreen) {
    effects_.clear();
    trace_.push_back("clear");
    return false;
  }
  effects_.put_character(byte);
  trace_.push_back(text_line(byte));
  return false;
}

bool CommandDecoder::select_sequence(std::uint8_t byte) {
  for (std::size_t index = 0; index < std::size(kSequences); ++index) {
    if (kSequences[index].command == byte) {
      sequence_index_ = index;
      arguments_ = {};
      argument_count_ = 0;
      stage_ = Stage::arguments;
      return true;
    }
  }
  char line[24];
  std::snprintf(line, sizeof line, "unknown %02x %02x", kCommandPrefix, byte);
  trace_.push_back(line);
  stage_ = Stage::idle;
  return false;
}

bool CommandDecoder::collect_argument(std::uint8_t byte) {
  const Sequence& sequence = kSequences[sequence_index_];
  arguments_[argument_count_++] = byte;
  if (argument_count_ < sequence.argument_count) return true;
  trace_.push_back(sequence.apply(effects_, arguments_));
  stage_ = Stage::idle;
  return false;
}

}  // namespace sim
