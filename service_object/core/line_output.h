#pragma once
// One output call's writes on the library's port, and what the application is told about them.
//
// A write that times out (a display switched off behind hardware flow control) marks the line
// stalled: later writes wait only as long as the bytes take at the line's speed, so each call
// fails fast instead of blocking for the whole write time-out again, until one goes through. A
// port that vanished (a USB adapter unplugged) is closed, and the next output call opens it
// again with the same name and speed: replugging the adapter recovers without a new enable.
// The result codes are listed in the integrator's guide (docs/integrator.md) ("result codes").

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "service_object/core/serial_port.h"
#include "service_object/core/service_module.h"

namespace varnel {

enum class OutputStatus {
  kSent,      // every write went through (or there was nothing to write)
  kNoPort,    // no port is held and none is wanted: nothing was sent
  kFailed,    // the port refused a write or cut it short
  kTimedOut,  // a write timed out, or the stalled line still did not move
  kPortLost,  // the port vanished, or could not be opened again
};

// Sends `writes` one after the other, each through the shared transmit buffer; stops at the
// first that fails. Empty writes are skipped. Call with `device.lock` held.
[[nodiscard]] OutputStatus send_on_line(DeviceState& device, SerialPort& port,
                                        std::initializer_list<std::span<const std::uint8_t>> writes);

// As send_on_line, for writes made at run time (the screen model's).
[[nodiscard]] OutputStatus send_writes(DeviceState& device, SerialPort& port,
                                       std::span<const std::span<const std::uint8_t>> writes);

// How long a write may wait on a stalled line: twice the time the bytes take at `baud_rate`
// (ten bits each), plus 50 ms. Long enough for a line that moves again, short enough that an
// application is not held up by one that does not.
[[nodiscard]] std::chrono::milliseconds stalled_write_limit(std::size_t byte_count, std::int32_t baud_rate);

// The OPOS result code an enabled device reports for an output call that ended so:
// 0, OPOS_E_FAILURE (111), OPOS_E_TIMEOUT (112) or OPOS_E_NOHARDWARE (107).
[[nodiscard]] std::int32_t result_code_for(OutputStatus status);

}  // namespace varnel
