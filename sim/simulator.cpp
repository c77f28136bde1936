#include "sim/simulator.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <stdexcept>

#include "sim/output_files.h"
#include "sim/port_link.h"
#include "sim/posix_io.h"
#include "sim/serial_endpoint.h"
#include "sim/simulated_display.h"
#include "sim/stop_signals.h"
#include "sim/terminal_view.h"

namespace sim {
namespace {

// Everything that hears about a change of the display.
class Observers {
 public:
  explicit Observers(const SimOptions& options) {
    if (!options.state_file.empty()) state_file_.emplace(options.state_file);
    if (!options.trace_file.empty()) trace_file_.emplace(options.trace_file);
    show_view_ = !options.quiet && ::isatty(STDOUT_FILENO);
  }

  // The picture goes below the port line, so it starts after the announcement.
  void start_view(const DisplayState& state) {
    if (!show_view_) return;
    view_.emplace(stdout);
    view_->draw(state);
  }

  // The state goes out before the trace lines: whoever has seen a trace line
  // finds its effect in the state file already.
  void publish(SimulatedDisplay& display) {
    const TraceLines lines = display.take_trace();
    if (state_file_) state_file_->write(display.state());
    if (trace_file_ && !lines.empty()) trace_file_->append(lines);
    if (view_) view_->draw(display.state());
  }

 private:
  std::optional<StateFile> state_file_;
  std::optional<TraceFile> trace_file_;
  std::optional<TerminalView> view_;
  bool show_view_ = false;
};

enum class ReadOutcome { data, nothing, line_lost };

ReadOutcome read_port(int fd, SimulatedDisplay& display) {
  std::array<std::uint8_t, 4096> buffer;
  // read() returns the count, 0 at end of file, or -1.
  const ssize_t count = ::read(fd, buffer.data(), buffer.size());
  if (count > 0) {
    display.receive(std::span(buffer.data(), static_cast<std::size_t>(count)));
    return ReadOutcome::data;
  }
  if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return ReadOutcome::nothing;
  // End of file or EIO: the device hung up (with a pseudo-terminal of our own
  // this cannot happen, as the simulator holds its port end open).
  if (count == 0 || errno == EIO) return ReadOutcome::line_lost;
  throw_errno("cannot read the port");
}

void announce(const std::string& port_path) {
  std::printf("port: %s\n", port_path.c_str());
  std::fflush(stdout);
}

}  // namespace

int run_simulator(const SimOptions& options) {
  // Handlers first, so a stop signal from here on still removes the link.
  StopSignals stop_signals;
  const SerialEndpoint endpoint = options.device.empty() ? SerialEndpoint::open_pseudo_terminal()
                                                         : SerialEndpoint::open_device(options.device);
  SimulatedDisplay display;
  Observers observers(options);
  observers.publish(display);  // the initial state file, and an empty trace

  // Ready to receive from here on; only now may the link appear.
  std::optional<PortLink> link;
  if (!options.link.empty()) link.emplace(options.link, endpoint.port_path());
  announce(endpoint.port_path());
  observers.start_view(display.state());

  std::array<pollfd, 2> watched{{{endpoint.fd(), POLLIN, 0}, {stop_signals.fd(), POLLIN, 0}}};
  for (;;) {
    // poll() returns the number of ready descriptors, or -1. No timeout: the
    // loop waits only for bytes or a stop signal, and both wake it.
    if (::poll(watched.data(), watched.size(), -1) < 0) {
      if (errno == EINTR) continue;
      throw_errno("poll failed");
    }
    if (watched[1].revents != 0) return 0;
    if ((watched[0].revents & POLLNVAL) != 0) throw std::logic_error("the port descriptor is not open");
    if (watched[0].revents == 0) continue;
    switch (read_port(endpoint.fd(), display)) {
      case ReadOutcome::data: observers.publish(display); break;
      case ReadOutcome::nothing: break;
      case ReadOutcome::line_lost: throw std::runtime_error(endpoint.port_path() + " hung up");
    }
  }
}

}  // namespace sim
