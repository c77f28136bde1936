#include "sim/model/display_firmware.h"

#include <string>
#include <utility>

namespace sim {

void DisplayFirmware::receive(std::span<const std::uint8_t> bytes) {
  effects_.count_received(bytes.size());
  for (std::size_t index = 0; index < bytes.size(); ++index) {
    if (state().mode == DisplayMode::download) {
      // In download mode the firmware loader owns the line; it is not modelled.
      trace_.push_back("download-mode bytes n=" + std::to_string(bytes.size() - index));
      return;
    }
    decode(bytes[index]);
  }
}

void DisplayFirmware::decode(std::uint8_t byte) {
  InputLayer& layer = current_ != nullptr ? *current_ : select_layer(byte);
  current_ = layer.feed(byte) ? &layer : nullptr;
  if (&layer == &frames_ && current_ == nullptr) decode_unclaimed();
}

void DisplayFirmware::decode_unclaimed() {
  const Bytes unclaimed = frames_.take_unclaimed();
  if (unclaimed.empty()) return;
  // The command decoder is idle here (the frame layer held the line), and an
  // STX starts no sequence of its own: it is shown and the unit ends.
  commands_.feed(unclaimed.front());
  for (std::size_t index = 1; index < unclaimed.size(); ++index) decode(unclaimed[index]);
}

void DisplayFirmware::receive_garbage(std::size_t count) {
  if (count == 0) return;
  effects_.count_received(count);
  effects_.count_garbage(count);
  trace_.push_back("garbage n=" + std::to_string(count));
}

void DisplayFirmware::abandon_frame() {
  if (!frame_open()) return;
  frames_.abandon();
  current_ = nullptr;
  decode_unclaimed();
}

InputLayer& DisplayFirmware::select_layer(std::uint8_t first_byte) {
  // A unit starting with STX is a configuration frame, which keeps the line
  // until it is complete or refused. Inside a 0x1F sequence an STX is an
  // argument and never gets here.
  if (first_byte == kStx) return frames_;
  return commands_;
}

TraceLines DisplayFirmware::take_trace() { return std::exchange(trace_, {}); }

Replies DisplayFirmware::take_replies() { return std::exchange(replies_, {}); }

}  // namespace sim
