// Turns SIGTERM, SIGINT and SIGHUP into a readable descriptor (the self-pipe
// pattern), so the poll loop ends cleanly instead of the process dying with
// its link and files left behind.
#pragma once

#include <array>
#include <csignal>
#include <cstddef>

#include "sim/unique_fd.h"

namespace sim {

class StopSignals {
 public:
  // Installs the handlers and ignores SIGPIPE (a closed stdout must not kill
  // the simulator). One instance at a time.
  StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
  // Restores the earlier dispositions.
  ~StopSignals();

  // Readable once a stop signal has arrived.
  int fd() const { return read_end_.get(); }

 private:
  void restore();

  UniqueFd read_end_;
  UniqueFd write_end_;
  std::array<struct sigaction, 4> previous_{};  // one per handled signal
  std::size_t installed_ = 0;
};

}  // namespace sim
