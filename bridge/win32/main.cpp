// zorn-display-bridge.exe: PORT is a COM port name (COM3, COM12), opened through the service
// object's Windows serial writer.

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bridge/program/bridge_program.h"
#include "service_object/win32/serial_writer.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return bridge::run_bridge(
      arguments, [] { return std::make_unique<varnel::Win32SerialWriter>(); }, std::cout, std::cerr);
}
