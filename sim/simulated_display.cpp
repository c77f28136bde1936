#include "sim/simulated_display.h"

#include <utility>

namespace sim {

void SimulatedDisplay::receive(std::span<const std::uint8_t> bytes) {
  model_.count_received(bytes.size());
  for (std::uint8_t byte : bytes) {
    InputLayer& layer = current_ != nullptr ? *current_ : select_layer(byte);
    current_ = layer.feed(byte) ? &layer : nullptr;
  }
}

InputLayer& SimulatedDisplay::select_layer(std::uint8_t /*first_byte*/) {
  // The utility's configuration frames (STX 0x02, LEN, CMD, DATA, ETX, BCC)
  // become a second layer here: a frame parser chosen when a unit starts with
  // STX, which keeps the line until its frame is complete or refused. Inside a
  // 0x1F sequence an STX is an argument and never gets here. Until that layer
  // exists, STX is an ordinary character code.
  return commands_;
}

TraceLines SimulatedDisplay::take_trace() { return std::exchange(trace_, {}); }

}  // namespace sim
