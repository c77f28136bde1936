// How the simulator answers when it reads text it was given: its command
// line, the state and flash files, the fault modes. A reader answers the value
// it read, or says what is wrong; a refusal carries no value.
//
// This is the simulator's one way of reporting bad input. The runtime, which
// meets the operating system, throws instead (std::system_error for a failed
// call, std::runtime_error for a file it cannot use), and main() reports it.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace sim {

template <typename Value>
struct Parsed {
  std::optional<Value> value;  // set on success
  std::string error;           // says what is wrong otherwise

  static Parsed success(Value read) { return {std::move(read), {}}; }
  static Parsed failure(std::string why) { return {std::nullopt, std::move(why)}; }
};

}  // namespace sim
