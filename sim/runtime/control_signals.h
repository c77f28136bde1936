// Turns the signals that control the simulator into a readable descriptor (a
// signalfd, the signals blocked): SIGTERM, SIGINT and SIGHUP stop it, so the
// poll loop ends cleanly instead of the process dying with its link and files
// left behind; SIGUSR1 unplugs the display from its line and SIGUSR2 plugs it
// back in, as a test pulls and replugs a USB adapter. Blocked signals wait in
// the kernel until the loop reads them, so none runs a handler and none is
// lost, whenever it arrives (docs/simulator.md, "Signals").
#pragma once

#include <csignal>
#include <vector>

#include "shared/posix/unique_fd.h"

namespace sim {

enum class ControlSignal { stop, unplug, plug_in };

class ControlSignals {
 public:
  // Blocks the control signals, opens their descriptor and ignores SIGPIPE
  // (a closed stdout must not kill the simulator). One instance at a time,
  // made while the process has a single thread.
  ControlSignals();
  ControlSignals(const ControlSignals&) = delete;
  ControlSignals& operator=(const ControlSignals&) = delete;
  // Restores the earlier signal mask and SIGPIPE disposition.
  ~ControlSignals();

  // Readable once a signal has arrived.
  int fd() const { return signal_fd_.get(); }

  // The signals that arrived since the last call, in order.
  std::vector<ControlSignal> take();

 private:
  kit::posix::UniqueFd signal_fd_;
  sigset_t previous_mask_{};
  struct sigaction previous_pipe_ {};
};

}  // namespace sim
