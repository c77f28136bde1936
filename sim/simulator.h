// The simulator program: serves the port until asked to stop.
#pragma once

#include "sim/sim_options.h"

namespace sim {

// Opens the port, announces it and decodes what arrives until SIGTERM, SIGINT
// or SIGHUP. Returns the exit code: 0 after a stop signal. Throws on failures
// of the port or the output files, with the failing step in the message.
//
// Fault modes (no acknowledgement, delayed or altered replies, silence) and
// the replies to configuration frames will hang off this loop: replies are
// written to the same descriptor the bytes are read from.
int run_simulator(const SimOptions& options);

}  // namespace sim
