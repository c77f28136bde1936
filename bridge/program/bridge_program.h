#pragma once
// The zorn-display-bridge program, the same on Linux and Windows: reads the command line and the
// token file, opens the displays, prints where it listens and serves until stopped. The platform's
// main() supplies the serial port type.

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "service_object/core/serial_port.h"

namespace bridge {

using PortFactory = std::function<std::unique_ptr<varnel::SerialPort>()>;

// Exit codes: 0 stopped cleanly, 2 a refused command line or token file, 3 cannot listen.
int run_bridge(const std::vector<std::string>& arguments, const PortFactory& make_port, std::ostream& out,
               std::ostream& errors);

}  // namespace bridge
