// Turns the signals that control the simulator into bytes on a readable
// descriptor (the self-pipe pattern): SIGTERM, SIGINT and SIGHUP stop it, so
// the poll loop ends cleanly instead of the process dying with its link and
// files left behind; SIGUSR1 unplugs the display from its line and SIGUSR2
// plugs it back in, as a test pulls and replugs a USB adapter.
#pragma once

#include <array>
#include <csignal>
#include <cstddef>
#include <vector>

#include "shared/posix/unique_fd.h"

namespace sim {

enum class ControlSignal { stop, unplug, plug_in };

class ControlSignals {
 public:
  // Installs the handlers and ignores SIGPIPE (a closed stdout must not kill
  // the simulator). One instance at a time.
  ControlSignals();
  ControlSignals(const ControlSignals&) = delete;
  ControlSignals& operator=(const ControlSignals&) = delete;
  // Restores the earlier dispositions.
  ~ControlSignals();

  // Readable once a signal has arrived.
  int fd() const { return read_end_.get(); }

  // The signals that arrived since the last call, in order.
  std::vector<ControlSignal> take();

 private:
  void restore();

  kit::posix::UniqueFd read_end_;
  kit::posix::UniqueFd write_end_;
  std::array<struct sigaction, 6> previous_{};  // one per handled signal
  std::size_t installed_ = 0;
};

}  // namespace sim
