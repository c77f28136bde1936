#include "sim/runtime/simulator.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <span>
#include <stdexcept>

#include "sim/model/display_firmware.h"
#include "sim/model/reply_policy.h"
#include "sim/runtime/control_signals.h"
#include "sim/runtime/observers.h"
#include "sim/runtime/port_link.h"
#include "sim/runtime/posix_io.h"
#include "sim/runtime/reply_writer.h"
#include "sim/runtime/serial_endpoint.h"

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;

// A frame whose line stays quiet this long is dropped, so a lone STX cannot
// hold the line forever.
constexpr auto kFrameIdleLimit = std::chrono::milliseconds(500);

// Whether the host's end of the line runs at another speed than the display.
bool speeds_differ(const SimOptions& options, const SerialEndpoint& endpoint, const ObservableState& state) {
  if (!options.speed_check) return false;
  const std::optional<std::uint32_t> host_speed = endpoint.line_speed();
  return host_speed && *host_speed != state.line_speed;
}

enum class ReadOutcome { data, nothing, line_lost };

ReadOutcome read_port(const SimOptions& options, const SerialEndpoint& endpoint, DisplayFirmware& firmware,
                      Observers& observers) {
  std::array<std::uint8_t, 4096> buffer;
  // read() returns the count, 0 at end of file, or -1.
  const ssize_t count = ::read(endpoint.fd(), buffer.data(), buffer.size());
  if (count > 0) {
    observers.received(std::span(buffer.data(), static_cast<std::size_t>(count)));
    // The speed is read after the bytes: a host sets its speed before it
    // writes, so the bytes were sent at the speed found now.
    if (speeds_differ(options, endpoint, firmware.state())) {
      firmware.receive_garbage(static_cast<std::size_t>(count));
    } else {
      firmware.receive(std::span(buffer.data(), static_cast<std::size_t>(count)));
    }
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

// The longest single wait of the loop: a control signal ends a wait at once
// through its descriptor, and the deadlines are looked at least this often.
constexpr std::chrono::milliseconds kLongestWait{200};

// Milliseconds until the earliest of the deadlines (rounded up), at most
// kLongestWait.
int poll_timeout(Clock::time_point now, std::initializer_list<std::optional<Clock::time_point>> deadlines) {
  std::optional<Clock::time_point> earliest;
  for (const std::optional<Clock::time_point>& deadline : deadlines) {
    if (deadline && (!earliest || *deadline < *earliest)) earliest = deadline;
  }
  if (!earliest) return static_cast<int>(kLongestWait.count());
  if (*earliest <= now) return 0;
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*earliest - now);
  return static_cast<int>(std::min<std::chrono::milliseconds::rep>(wait.count(), kLongestWait.count()));
}

// After the display dropped its line: nothing to serve, only the stop signal
// to wait for (unplugging and plugging in change nothing on a dropped line).
int wait_for_stop(ControlSignals& control_signals) {
  pollfd watched{control_signals.fd(), POLLIN, 0};
  for (;;) {
    // poll() returns the number of ready descriptors, 0 on time-out, or -1.
    const int ready = ::poll(&watched, 1, static_cast<int>(kLongestWait.count()));
    if (ready < 0 && errno != EINTR) throw_errno("poll failed");
    if (ready <= 0) continue;
    for (const ControlSignal signal : control_signals.take()) {
      if (signal == ControlSignal::stop) return 0;
    }
  }
}

// The unprompted NAKs of a chattering display: the first one period after
// the block that started it, then one every period.
void schedule_chatter(const ReplyPolicy& policy, Clock::time_point now,
                      std::optional<Clock::time_point>& next, ReplyWriter& writer) {
  const std::optional<std::chrono::milliseconds> period = policy.chatter_period();
  if (!period) return;
  if (!next) {
    next = now + *period;
  } else if (now >= *next) {
    writer.schedule(now, Bytes{kNak});
    next = now + *period;
  }
}

SerialEndpoint open_endpoint(const SimOptions& options) {
  return options.device.empty() ? SerialEndpoint::open_pseudo_terminal()
                                : SerialEndpoint::open_device(options.device);
}

// The display's end of the line, which a test may pull out (SIGUSR1) and put
// back (SIGUSR2) like a USB adapter: unplugged, the port end the host holds
// hangs up and its device goes away; plugged in, the display serves a new port
// under the same link.
class Line {
 public:
  // Opens the first port; the link follows with make_link().
  Line(const SimOptions& options, const ObservableState& state) : options_(options) { open(state); }

  bool plugged_in() const { return endpoint_.has_value(); }
  SerialEndpoint& endpoint() { return *endpoint_; }
  // -1 while unplugged: poll() then ignores the entry.
  int fd() const { return endpoint_ ? endpoint_->fd() : -1; }

  void unplug() { endpoint_.reset(); }

  // Opens a port (a new pseudo-terminal, or the device again) and points the
  // link at it. A host that never sets a speed talks at the display's own.
  void plug_in(const ObservableState& state) {
    if (endpoint_) return;
    open(state);
    make_link();
  }

  // Points the link (if any) at the port.
  void make_link() {
    if (options_.link.empty() || !endpoint_) return;
    link_.reset();
    link_.emplace(options_.link, endpoint_->port_path());
  }

 private:
  void open(const ObservableState& state) {
    endpoint_.emplace(open_endpoint(options_));
    endpoint_->set_line_speed(state.line_speed);
  }

  const SimOptions& options_;
  std::optional<SerialEndpoint> endpoint_;
  std::optional<PortLink> link_;
};

// One run of the simulator: the display, its line and everything that
// watches it, served by one loop of small steps.
class Session {
 public:
  explicit Session(const SimOptions& options)
      : options_(options),
        observers_(options),
        flash_(observers_.load_flash()),
        firmware_(flash_),
        line_(options, firmware_.state()),
        policy_(options.faults) {}

  // Serves the line until a stop signal (0) or, after the display dropped its
  // line, until the stop signal that follows.
  int run() {
    start();
    for (;;) {
      const std::optional<Wake> wake = wait();
      if (!wake) continue;
      // Signals first: a line unplugged while bytes wait on it is not read.
      if (wake->signalled) {
        if (!take_signals()) return 0;
        continue;
      }
      if (!line_.plugged_in()) continue;
      if ((wake->port_events & POLLNVAL) != 0) throw std::logic_error("the port descriptor is not open");
      bool changed = (wake->port_events & (POLLIN | POLLHUP | POLLERR)) != 0 && read_line();
      const Clock::time_point now = Clock::now();
      if (expire_frame(now)) changed = true;
      queue_replies(now);
      if (policy_.take_hang_up()) return drop_line();
      schedule_chatter(policy_, now, next_chatter_, writer_);
      send_due(now, changed);
    }
  }

 private:
  // What ended a wait: a control signal, and the events of the port.
  struct Wake {
    bool signalled;
    short port_events;
  };

  // The first files and the announcement. Ready to receive from here on, so
  // only now may the link appear.
  void start() {
    observers_.start_flash(flash_);
    observers_.publish(firmware_);  // the initial state file, and an empty trace
    line_.make_link();
    announce(line_.endpoint().port_path());
    observers_.start_view(firmware_.state());
    last_byte_ = Clock::now();
  }

  // Waits for bytes, room for replies, a signal, or the next deadline;
  // nothing if a signal handler interrupted the wait.
  std::optional<Wake> wait() {
    const auto port_events = static_cast<short>(POLLIN | (writer_.wants_write() ? POLLOUT : 0));
    std::array<pollfd, 2> watched{{{line_.fd(), port_events, 0}, {control_signals_.fd(), POLLIN, 0}}};
    std::optional<Clock::time_point> frame_deadline;
    if (firmware_.frame_open()) frame_deadline = last_byte_ + kFrameIdleLimit;
    // Unplugged, only a signal can change anything: the deadlines wait.
    const int timeout = line_.plugged_in()
                            ? poll_timeout(Clock::now(), {writer_.next_due(), frame_deadline, next_chatter_})
                            : static_cast<int>(kLongestWait.count());
    // poll() returns the number of ready descriptors, or -1.
    if (::poll(watched.data(), watched.size(), timeout) < 0) {
      if (errno == EINTR) return std::nullopt;
      throw_errno("poll failed");
    }
    return Wake{watched[1].revents != 0, watched[0].revents};
  }

  // Unplugs and plugs in the line as the signals ask; false on a stop signal.
  bool take_signals() {
    TraceLines plug_lines;
    for (const ControlSignal signal : control_signals_.take()) {
      if (signal == ControlSignal::stop) return false;
      if (signal == ControlSignal::unplug && line_.plugged_in()) {
        line_.unplug();
        plug_lines.emplace_back("unplugged");
      } else if (signal == ControlSignal::plug_in && !line_.plugged_in()) {
        line_.plug_in(firmware_.state());
        plug_lines.push_back("plugged in " + line_.endpoint().port_path());
      }
    }
    if (!plug_lines.empty()) observers_.publish(firmware_, plug_lines);
    return true;
  }

  // Feeds what the line holds to the display; true if bytes came.
  bool read_line() {
    switch (read_port(options_, line_.endpoint(), firmware_, observers_)) {
      case ReadOutcome::data: last_byte_ = Clock::now(); return true;
      case ReadOutcome::nothing: return false;
      case ReadOutcome::line_lost: throw std::runtime_error(line_.endpoint().port_path() + " hung up");
    }
    return false;
  }

  // Drops a frame whose line has stayed quiet too long; true if it did.
  bool expire_frame(Clock::time_point now) {
    if (!firmware_.frame_open() || now - last_byte_ < kFrameIdleLimit) return false;
    firmware_.abandon_frame();
    return true;
  }

  // The display's new replies, shaped by the fault modes, into the writer.
  void queue_replies(Clock::time_point now) {
    for (const Reply& reply : firmware_.take_replies()) {
      for (Transmission& transmission : policy_.shape(reply)) {
        writer_.schedule(now + transmission.delay, std::move(transmission.bytes));
      }
    }
  }

  int drop_line() {
    line_.endpoint().hang_up();
    observers_.publish(firmware_, {"line dropped"});
    return wait_for_stop(control_signals_);
  }

  // Releases the replies that are due, publishes the display if anything
  // changed and writes what the line takes. The state goes out first: a host
  // that has read a reply finds the effect of its request in the state file.
  void send_due(Clock::time_point now, bool changed) {
    SerialEndpoint& endpoint = line_.endpoint();
    TraceLines reply_lines;
    if (writer_.next_due() && *writer_.next_due() <= now) {
      reply_lines = writer_.release_due(now, speeds_differ(options_, endpoint, firmware_.state()));
    }
    if (changed || !reply_lines.empty()) observers_.publish(firmware_, reply_lines);
    if (writer_.wants_write()) writer_.write_some(endpoint.fd());
  }

  const SimOptions& options_;
  // Signals taken first, so a stop signal from here on still removes the link.
  ControlSignals control_signals_;
  Observers observers_;
  const FlashSettings flash_;
  DisplayFirmware firmware_;
  Line line_;
  ReplyPolicy policy_;
  ReplyWriter writer_;
  Clock::time_point last_byte_ = Clock::now();
  std::optional<Clock::time_point> next_chatter_;
};

}  // namespace

int run_simulator(const SimOptions& options) { return Session(options).run(); }

}  // namespace sim
