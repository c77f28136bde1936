#include "sim/model/frame_layer.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

namespace sim {
namespace {

using Data = std::span<const std::uint8_t>;

std::string hex_byte(std::uint8_t value) {
  char text[4];
  std::snprintf(text, sizeof text, "%02x", value);
  return text;
}

std::string with_verdict(std::string line, bool accepted) {
  if (!accepted) line += " rejected";
  return line;
}

struct Outcome {
  std::string trace;
  bool accepted;
};

Outcome information(CommandEffects& effects, Replies& replies, Data /*data*/) {
  replies.push_back({ReplyKind::information, information_record(effects.state().flash)});
  return {"frame 44", true};
}

Outcome change_baud(CommandEffects& effects, Replies& /*replies*/, Data data) {
  const bool accepted = effects.set_baud_code(data[0]);
  return {with_verdict("frame 33 code=" + hex_byte(data[0]), accepted), accepted};
}

Outcome show_string(CommandEffects& effects, Replies& /*replies*/, Data data) {
  ScreenRow upper{};
  ScreenRow lower{};
  std::copy_n(data.begin(), kColumns, upper.begin());
  std::copy_n(data.begin() + kColumns, kColumns, lower.begin());
  effects.show_rows(upper, lower);
  return {"frame 32", true};
}

Outcome change_command_set(CommandEffects& effects, Replies& /*replies*/, Data data) {
  const bool accepted = effects.set_command_set(data[0]);
  return {with_verdict("frame 34 code=" + hex_byte(data[0]), accepted), accepted};
}

Outcome change_default_font(CommandEffects& effects, Replies& /*replies*/, Data data) {
  const bool accepted = effects.set_default_font(data[0]);
  return {with_verdict("frame 35 code=" + hex_byte(data[0]), accepted), accepted};
}

Outcome enter_download(CommandEffects& effects, Replies& /*replies*/, Data data) {
  const bool accepted = data[0] == 0xAA && data[1] == 0x55;
  if (accepted) effects.enter_download_mode();
  return {accepted ? "frame 40 download" : "frame 40 rejected", accepted};
}

Outcome glyph_block(CommandEffects& effects, Replies& replies, GlyphBlockKind kind, Data data) {
  const std::uint8_t index = data[0];
  const bool accepted = effects.store_glyph_block(kind, index, GlyphBlock(data.subspan(1, kGlyphBlockBytes)));
  replies.push_back(accepted ? Reply{ReplyKind::acknowledge, {kAck}} : Reply{ReplyKind::refusal, {kNak}});
  const char* name = kind == GlyphBlockKind::international ? "frame 41" : "frame 42";
  return {with_verdict(std::string(name) + " index=" + std::to_string(index), accepted), accepted};
}

Outcome international_block(CommandEffects& effects, Replies& replies, Data data) {
  return glyph_block(effects, replies, GlyphBlockKind::international, data);
}

Outcome upper_block(CommandEffects& effects, Replies& replies, Data data) {
  return glyph_block(effects, replies, GlyphBlockKind::upper, data);
}

Outcome change_language(CommandEffects& effects, Replies& /*replies*/, Data data) {
  std::string code;
  for (std::uint8_t letter : data)
    code.push_back(is_printable_ascii(letter) ? static_cast<char>(letter) : '.');
  const std::string letters(data.begin(), data.end());
  const bool accepted = effects.set_language(letters);
  return {with_verdict("frame 43 code=" + code, accepted), accepted};
}

struct Command {
  std::uint8_t code;
  std::size_t data_length;
  Outcome (*apply)(CommandEffects& effects, Replies& replies, Data data);
};

constexpr Command kCommands[] = {
    {0x44, 0, information},
    {0x33, 1, change_baud},
    {0x32, 2 * kColumns, show_string},
    {0x34, 1, change_command_set},
    {0x35, 1, change_default_font},
    {0x40, 2, enter_download},
    {0x41, 1 + kGlyphBlockBytes, international_block},
    {0x42, 1 + kGlyphBlockBytes, upper_block},
    {0x43, 2, change_language},
};

const Command* find_command(std::uint8_t code) {
  const auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                  [code](const Command& c) { return c.code == code; });
  return found == std::end(kCommands) ? nullptr : found;
}

}  // namespace

Bytes information_record(const FlashSettings& flash) {
  Bytes data(kVersionText.begin(), kVersionText.end());
  data.push_back(flash.command_set);
  data.push_back(flash.default_font);
  data.push_back(language_number(flash.language).value_or(0xFF));
  data.push_back(flash.baud_code);
  data.push_back(0x00);
  return make_frame(0x44, data);
}

Bytes make_frame(std::uint8_t command, std::span<const std::uint8_t> data) {
  Bytes frame(data.size() + 5);
  frame[0] = kStx;
  frame[1] = static_cast<std::uint8_t>(data.size() + 1);
  frame[2] = command;
  std::copy(data.begin(), data.end(), frame.begin() + 3);
  frame[frame.size() - 2] = kEtx;
  std::uint8_t check = 0;
  for (std::size_t index = 1; index + 1 < frame.size(); ++index) check ^= frame[index];
  frame.back() = check;
  return frame;
}

bool FrameLayer::feed(std::uint8_t byte) {
  switch (stage_) {
    case Stage::start:
      check_ = 0;
      data_count_ = 0;
      stage_ = Stage::length;
      return true;
    case Stage::length:
      if (byte == 0) return not_a_frame(byte);
      length_ = byte;
      check_ ^= byte;
      stage_ = Stage::command;
      return true;
    case Stage::command: {
      const Command* command = find_command(byte);
      if (command == nullptr) return not_a_frame(byte);
      if (command->data_length + 1 != length_) return reject("length");
      command_ = byte;
      check_ ^= byte;
      stage_ = length_ == 1 ? Stage::etx : Stage::data;
      return true;
    }
    case Stage::data:
      data_[data_count_++] = byte;
      check_ ^= byte;
      if (data_count_ + 1 == length_) stage_ = Stage::etx;
      return true;
    case Stage::etx:
      if (byte != kEtx) return reject("etx");
      check_ ^= byte;
      stage_ = Stage::bcc;
      return true;
    case Stage::bcc:
      if (byte != check_) return reject("bcc");
      apply();
      stage_ = Stage::start;
      return false;
  }
  return false;
}

void FrameLayer::abandon() {
  switch (stage_) {
    case Stage::start: return;
    case Stage::length: unclaimed_ = {kStx}; break;
    case Stage::command: unclaimed_ = {kStx, length_}; break;
    default:
      trace_.push_back("frame dropped idle");
      effects_.count_frame(false);
      break;
  }
  stage_ = Stage::start;
}

Bytes FrameLayer::take_unclaimed() { return std::exchange(unclaimed_, {}); }

bool FrameLayer::not_a_frame(std::uint8_t last_byte) {
  unclaimed_ = {kStx};
  if (stage_ == Stage::command) unclaimed_.push_back(length_);
  unclaimed_.push_back(last_byte);
  stage_ = Stage::start;
  return false;
}

bool FrameLayer::reject(std::string_view reason) {
  trace_.push_back("frame rejected " + std::string(reason));
  effects_.count_frame(false);
  stage_ = Stage::start;
  return false;
}

void FrameLayer::apply() {
  const Command* command = find_command(command_);
  const Outcome outcome = command->apply(effects_, replies_, Data(data_.data(), data_count_));
  trace_.push_back(outcome.trace);
  effects_.count_frame(outcome.accepted);
}

}  // namespace sim
