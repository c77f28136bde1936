#pragma once
// The zorn-display-bridge program, the same on Linux and Windows: reads the command line and the
// token file, opens the displays, prints where it listens and serves until stopped. The platform's
// main() supplies the serial port type.

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "bridge/core/service_control.h"
#include "service_object/core/serial_port.h"

namespace bridge {

using PortFactory = std::function<std::unique_ptr<varnel::SerialPort>()>;

// How a caller other than a console takes part: the Windows service learns when the server listens
// and stops it through the service manager instead of a signal.
struct RunHooks {
  StopLatch* stop = nullptr;        // armed with the server's stop while it serves
  std::function<void()> listening;  // called once the server listens
  bool stop_on_signals = true;      // SIGINT and SIGTERM stop the server
};

// Exit codes: 0 stopped cleanly, 2 a refused command line or token file, 3 cannot listen.
// Returns only after the server and every display writer have ended.
int run_bridge(const std::vector<std::string>& arguments, const PortFactory& make_port, std::ostream& out,
               std::ostream& errors, const RunHooks& hooks = {});

}  // namespace bridge
