// zorn-display-bridge on Linux: PORT is a device path (/dev/ttyUSB0, /dev/pole-display).

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bridge/core/bridge_options.h"
#include "bridge/program/bridge_program.h"
#include "service_object/posix/serial_writer.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  // The Debian package installs the manual page --help points to.
  if (arguments == std::vector<std::string>{"--help"}) {
    std::cout << bridge::usage()
              << "\nShows text on pole displays through a local HTTP service; see zorn-display-bridge(1).\n";
    return 0;
  }
  return bridge::run_bridge(
      arguments, [] { return std::make_unique<varnel::PosixSerialWriter>(); }, std::cout, std::cerr);
}
