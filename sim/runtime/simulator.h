// The simulator program: serves the port until asked to stop.
#pragma once

#include "sim/runtime/sim_options.h"

namespace sim {

// Opens the port, announces it and decodes what arrives until SIGTERM, SIGINT
// or SIGHUP. Returns the exit code: 0 after a stop signal. Throws on failures
// of the port or the output files, with the failing step in the message.
//
// Replies to configuration frames go out on the same descriptor the bytes are
// read from, shaped by the fault modes; bytes and replies exchanged while the
// host's port speed differs from the display's are garbage (unless the speed
// check is off).
int run_simulator(const SimOptions& options);

}  // namespace sim
