// The simulated display: everything it receives goes in, its state and a
// trace of decoded commands come out. No I/O; the program feeds it from the
// port and the tests feed it directly.
#pragma once

#include <cstdint>
#include <span>

#include "sim/command_decoder.h"
#include "sim/display_model.h"
#include "sim/display_state.h"
#include "sim/input_layer.h"

namespace sim {

class SimulatedDisplay {
 public:
  SimulatedDisplay() = default;
  // The layers keep references to the model and the trace.
  SimulatedDisplay(const SimulatedDisplay&) = delete;
  SimulatedDisplay& operator=(const SimulatedDisplay&) = delete;

  // Takes bytes as read from the line. Any split of the same stream into calls
  // gives the same state and trace: a unit left open at the end of one call
  // continues with the next.
  void receive(std::span<const std::uint8_t> bytes);

  const DisplayState& state() const { return model_.state(); }

  // Trace lines added since the last call.
  TraceLines take_trace();

 private:
  // Chooses the layer that owns the unit starting with `first_byte`.
  InputLayer& select_layer(std::uint8_t first_byte);

  DisplayModel model_;
  TraceLines trace_;
  CommandDecoder commands_{model_, trace_};
  InputLayer* current_ = nullptr;  // the layer inside an open unit, if any
};

}  // namespace sim
