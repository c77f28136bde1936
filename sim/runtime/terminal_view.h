// The live picture of the display in the terminal the simulator runs in.
#pragma once

#include <cstdio>

#include "sim/model/observable_state.h"

namespace sim {

class TerminalView {
 public:
  explicit TerminalView(std::FILE* out) : out_(out) {}

  // Draws the screen below what is already printed; later calls move the
  // terminal cursor back up and draw over the previous picture.
  void draw(const ObservableState& state);

 private:
  std::FILE* out_;
  bool drawn_ = false;
};

}  // namespace sim
