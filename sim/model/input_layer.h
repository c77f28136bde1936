// One protocol layer of what the display receives on its line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Decoded commands, one line each, oldest first.
using TraceLines = std::vector<std::string>;

// A layer owns a whole unit of input (a command sequence or a
// configuration frame) from its first byte to its last. DisplayFirmware picks
// a layer by the first byte of each unit and hands it every byte until the
// layer says the unit is complete, so a unit split across reads stays one unit.
class InputLayer {
 public:
  virtual ~InputLayer() = default;

  // Takes the next byte of the current unit. Returns true while the unit is
  // still open and the following byte belongs to it too; false once the unit
  // is complete (applied or refused, and traced).
  virtual bool feed(std::uint8_t byte) = 0;
};

}  // namespace sim
