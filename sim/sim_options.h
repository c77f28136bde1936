// The simulator's command line.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace sim {

struct SimOptions {
  std::string link;        // symbolic link to the port, made once ready; empty: none
  std::string device;      // terminal device to serve; empty: a new pseudo-terminal
  std::string state_file;  // empty: no state file
  std::string trace_file;  // empty: no trace file
  bool quiet = false;      // no live picture of the screen
  bool help = false;
};

struct OptionsResult {
  std::optional<SimOptions> options;  // set on success
  std::string error;                  // says what is wrong otherwise
};

// Parses the arguments after the program name. Options with a value take it
// as the next argument or after '=' (--state=FILE); each may appear once.
OptionsResult parse_options(std::span<const std::string_view> arguments);

std::string usage_text();

}  // namespace sim
