// The replies on their way to the port: held until they are due, then written
// as fast as the port takes them without ever blocking the loop.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "sim/model/input_layer.h"
#include "sim/model/reply_policy.h"

namespace sim {

class ReplyWriter {
 public:
  using Clock = std::chrono::steady_clock;

  // Bytes the port has not taken beyond this are dropped (and traced): a host
  // that never reads must not make the simulator grow without bound.
  static constexpr std::size_t kMaxPending = std::size_t{4} << 20;

  void schedule(Clock::time_point due, Bytes bytes);

  // When the next held transmission is due; nothing if none is held.
  std::optional<Clock::time_point> next_due() const;

  // Moves the transmissions due by `now` to the bytes to write, garbled if
  // `garbled`. Returns a trace line for each one that did not go out as
  // meant: `reply garbled n=<count>`, or `reply dropped n=<count>` past
  // kMaxPending.
  TraceLines release_due(Clock::time_point now, bool garbled);

  // Whether bytes are waiting for the port to take them.
  bool wants_write() const { return !pending_.empty(); }

  // Writes what the non-blocking `fd` takes now. Throws on a write error
  // other than a full port.
  void write_some(int fd);

 private:
  std::multimap<Clock::time_point, Bytes> held_;
  std::string pending_;
};

}  // namespace sim
