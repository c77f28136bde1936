// The simulator's command line.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sim/model/parsed.h"
#include "sim/model/reply_policy.h"

namespace sim {

struct SimOptions {
  std::string link;          // symbolic link to the port, made once ready; empty: none
  std::string device;        // terminal device to serve; empty: a new pseudo-terminal
  std::string state_file;    // empty: no state file
  std::string trace_file;    // empty: no trace file
  std::string flash_file;    // empty: the flash lasts only as long as the run
  std::string dots_file;     // empty: no dot-matrix picture
  std::string png_file;      // empty: no picture of the display
  std::string capture_file;  // empty: no raw capture of the bytes received
  FaultModes faults;
  bool speed_check = true;  // bytes at a host speed other than the display's are garbage
  bool quiet = false;       // no live picture of the screen
  bool help = false;
};

// Parses the arguments after the program name. Options with a value take it
// as the next argument or after '=' (--state=FILE); each may appear once,
// except --fault, whose modes add up.
Parsed<SimOptions> parse_options(std::span<const std::string_view> arguments);

std::string usage_text();

}  // namespace sim
