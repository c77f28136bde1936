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
#include "sim/model/dot_matrix.h"
#include "sim/model/reply_policy.h"
#include "sim/runtime/control_signals.h"
#include "sim/runtime/output_files.h"
#include "sim/runtime/port_link.h"
#include "sim/runtime/posix_io.h"
#include "sim/runtime/reply_writer.h"
#include "sim/runtime/serial_endpoint.h"
#include "sim/runtime/terminal_view.h"

namespace sim {
namespace {

using Clock = std::chrono::steady_clock;

// A frame whose line stays quiet this long is dropped, so a lone STX cannot
// hold the line forever.
constexpr auto kFrameIdleLimit = std::chrono::milliseconds(500);

// Everything that hears about a change of the display.
class Observers {
 public:
  explicit Observers(const SimOptions& options) {
    if (!options.state_file.empty()) state_file_.emplace(options.state_file);
    if (!options.trace_file.empty()) trace_file_.emplace(options.trace_file);
    if (!options.flash_file.empty()) flash_file_.emplace(options.flash_file);
    if (!options.dots_file.empty()) dots_file_.emplace(options.dots_file);
    if (!options.capture_file.empty()) capture_file_.emplace(options.capture_file);
    show_view_ = !options.quiet && ::isatty(STDOUT_FILENO);
  }

  // The flash as the file holds it (factory settings without a file).
  FlashSettings load_flash() const { return flash_file_ ? flash_file_->load() : FlashSettings{}; }

  // The picture goes below the port line, so it starts after the announcement.
  void start_view(const ObservableState& state) {
    if (!show_view_) return;
    view_.emplace(stdout);
    view_->draw(state);
  }

  // The files go out before the trace lines: whoever has seen a trace line
  // finds its effect in the state file already. `extra` lines (replies that
  // went out garbled or not at all) follow those of the display.
  void publish(DisplayFirmware& firmware, const TraceLines& extra = {}) {
    TraceLines lines = firmware.take_trace();
    lines.insert(lines.end(), extra.begin(), extra.end());
    const ObservableState& state = firmware.state();
    if (state_file_) state_file_->write(state);
    if (flash_file_ && state.flash != written_flash_) {
      flash_file_->write(state.flash);
      written_flash_ = state.flash;
    }
    if (dots_file_ && (!dots_written_ || state.rows != dots_rows_ || state.flash != dots_flash_)) {
      dots_file_->write(render_dots(state));
      dots_written_ = true;
      dots_rows_ = state.rows;
      dots_flash_ = state.flash;
    }
    if (trace_file_ && !lines.empty()) trace_file_->append(lines);
    if (view_) view_->draw(state);
  }

  // Bytes as read from the line, before anything decodes them.
  void received(std::span<const std::uint8_t> bytes) {
    if (capture_file_) capture_file_->append(bytes);
  }

  // Writes the flash file as loaded, so it exists from the start.
  void start_flash(const FlashSettings& flash) {
    if (!flash_file_) return;
    flash_file_->write(flash);
    written_flash_ = flash;
  }

 private:
  std::optional<StateFile> state_file_;
  std::optional<TraceFile> trace_file_;
  std::optional<FlashFile> flash_file_;
  std::optional<WholeFile> dots_file_;
  std::optional<CaptureFile> capture_file_;
  std::optional<TerminalView> view_;
  bool show_view_ = false;
  FlashSettings written_flash_;
  bool dots_written_ = false;
  std::array<ScreenRow, kRows> dots_rows_{};
  FlashSettings dots_flash_;
};

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

// The longest single wait of the loop. The stop signal normally ends a wait at
// once through its pipe; the bound covers a signal whose handler runs late
// (a sanitizer runtime may hold a signal that arrives just before the wait
// until its next intercepted call), so it is still seen within this time.
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

}  // namespace

int run_simulator(const SimOptions& options) {
  // Handlers first, so a stop signal from here on still removes the link.
  ControlSignals control_signals;
  Observers observers(options);
  const FlashSettings flash = observers.load_flash();
  DisplayFirmware firmware(flash);
  Line line(options, firmware.state());
  observers.start_flash(flash);
  observers.publish(firmware);  // the initial state file, and an empty trace

  // Ready to receive from here on; only now may the link appear.
  line.make_link();
  announce(line.endpoint().port_path());
  observers.start_view(firmware.state());

  ReplyPolicy policy(options.faults);
  ReplyWriter writer;
  Clock::time_point last_byte = Clock::now();
  std::optional<Clock::time_point> next_chatter;
  std::array<pollfd, 2> watched{{{line.fd(), POLLIN, 0}, {control_signals.fd(), POLLIN, 0}}};
  for (;;) {
    watched[0].fd = line.fd();
    watched[0].events = static_cast<short>(POLLIN | (writer.wants_write() ? POLLOUT : 0));
    std::optional<Clock::time_point> frame_deadline;
    if (firmware.frame_open()) frame_deadline = last_byte + kFrameIdleLimit;
    // Unplugged, only a signal can change anything: the deadlines wait.
    const int timeout = line.plugged_in()
                            ? poll_timeout(Clock::now(), {writer.next_due(), frame_deadline, next_chatter})
                            : static_cast<int>(kLongestWait.count());
    // poll() returns the number of ready descriptors, or -1. It waits for
    // bytes, room for replies, a signal, or the next deadline.
    if (::poll(watched.data(), watched.size(), timeout) < 0) {
      if (errno == EINTR) continue;
      throw_errno("poll failed");
    }
    // Signals first: a line unplugged while bytes wait on it is not read.
    if (watched[1].revents != 0) {
      TraceLines plug_lines;
      for (const ControlSignal signal : control_signals.take()) {
        if (signal == ControlSignal::stop) return 0;
        if (signal == ControlSignal::unplug && line.plugged_in()) {
          line.unplug();
          plug_lines.emplace_back("unplugged");
        } else if (signal == ControlSignal::plug_in && !line.plugged_in()) {
          line.plug_in(firmware.state());
          plug_lines.push_back("plugged in " + line.endpoint().port_path());
        }
      }
      if (!plug_lines.empty()) observers.publish(firmware, plug_lines);
      continue;
    }
    if (!line.plugged_in()) continue;
    SerialEndpoint& endpoint = line.endpoint();
    if ((watched[0].revents & POLLNVAL) != 0) throw std::logic_error("the port descriptor is not open");

    bool changed = false;
    if ((watched[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      switch (read_port(options, endpoint, firmware, observers)) {
        case ReadOutcome::data:
          last_byte = Clock::now();
          changed = true;
          break;
        case ReadOutcome::nothing: break;
        case ReadOutcome::line_lost: throw std::runtime_error(endpoint.port_path() + " hung up");
      }
    }
    const Clock::time_point now = Clock::now();
    if (firmware.frame_open() && now - last_byte >= kFrameIdleLimit) {
      firmware.abandon_frame();
      changed = true;
    }
    for (const Reply& reply : firmware.take_replies()) {
      for (Transmission& transmission : policy.shape(reply)) {
        writer.schedule(now + transmission.delay, std::move(transmission.bytes));
      }
    }
    if (policy.take_hang_up()) {
      endpoint.hang_up();
      observers.publish(firmware, {"line dropped"});
      return wait_for_stop(control_signals);
    }
    schedule_chatter(policy, now, next_chatter, writer);
    TraceLines reply_lines;
    if (writer.next_due() && *writer.next_due() <= now) {
      reply_lines = writer.release_due(now, speeds_differ(options, endpoint, firmware.state()));
    }
    // The state goes out first: a host that has read a reply finds the
    // effect of its request in the state file.
    if (changed || !reply_lines.empty()) observers.publish(firmware, reply_lines);
    if (writer.wants_write()) writer.write_some(endpoint.fd());
  }
}

}  // namespace sim
