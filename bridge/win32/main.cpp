// zorn-display-bridge.exe: PORT is a COM port name (COM3, COM12), opened through the service
// object's Windows serial writer. With --service first, the program runs as a Windows service
// (bridge/win32/service.h).

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bridge/program/bridge_program.h"
#include "bridge/win32/service.h"
#include "service_object/win32/serial_writer.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const bridge::PortFactory make_port = [] { return std::make_unique<varnel::Win32SerialWriter>(); };
  if (!arguments.empty() && arguments.front() == "--service")
    return bridge::win32::run_service({arguments.begin() + 1, arguments.end()}, make_port, std::cerr);
  return bridge::run_bridge(arguments, make_port, std::cout, std::cerr);
}
