#pragma once
// The display simulator serving a COM port of the test prefix, as scripts/with-simulator.sh
// started it: its trace file (one line per decoded command), its state file (the screen and
// settings as key=value lines), its capture (every byte received, raw), and its process, which
// a test may pause to stall the line.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

// The path under which Wine's programs see a Unix path: the Unix root is drive Z:.
std::wstring windows_path_of_unix_path(const std::wstring& unix_path);

class SimulatorLink {
 public:
  // The simulator serving COM<port>, found through KIT_SIM_COM<port>_TRACE and _PID (and _STATE,
  // which state() reads); nothing when the test does not run under with-simulator.sh.
  static std::optional<SimulatorLink> for_port(int port);

  // Every trace line so far.
  std::vector<std::string> trace() const;

  // The state file's fields (row0_text, cursor_row, blink, ...) as last written.
  std::map<std::string, std::string> state() const;

  // Waits (at most `timeout_ms`) until the trace holds at least `count` lines and answers the
  // lines from `first` on; fewer when the time ran out.
  std::vector<std::string> wait_for_trace(std::size_t first, std::size_t count,
                                          unsigned timeout_ms = 5000) const;

  // Waits (at most `timeout_ms`) until state() holds `key` with `value`; answers whether it did.
  bool wait_for_state(const std::string& key, const std::string& value, unsigned timeout_ms = 5000) const;

  // Every byte the display received so far, raw and in order.
  std::string capture() const;

  // Waits (at most `timeout_ms`) until the capture holds at least `size` bytes and answers it;
  // shorter when the time ran out.
  std::string wait_for_capture(std::size_t size, unsigned timeout_ms = 5000) const;

  // Pauses or resumes the simulator process (SIGSTOP / SIGCONT), so that it stops reading its
  // line. Answers true once /proc shows the process in the wanted state (at most 5 s).
  bool pause() const;
  bool resume() const;

  // Pulls the display's line out (SIGUSR1), as an unplugged USB adapter: the port the host holds
  // hangs up and its device goes away. Answers true once the simulator has done it (trace line
  // "unplugged") or, while it is paused, once the signal waits for it (it acts on the signal
  // before reading anything when resumed). At most 5 s.
  bool unplug() const;
  // Plugs the line back in on a new port under the same name (SIGUSR2); true once the trace
  // says so. At most 5 s.
  bool plug_in() const;

 private:
  SimulatorLink(std::wstring trace_path, std::wstring state_path, std::wstring capture_path,
                unsigned long pid)
      : trace_path_(std::move(trace_path)),
        state_path_(std::move(state_path)),
        capture_path_(std::move(capture_path)),
        pid_(pid) {}
  bool signal_and_wait(const char* signal, bool want_stopped) const;
  bool send_signal(const char* signal) const;
  // Sends `signal` and waits (at most 5 s) until `done`, given the trace's length before the
  // signal, answers true.
  bool signal_until(const char* signal, const std::function<bool(std::size_t)>& done) const;
  bool trace_has_line_from(std::size_t first, std::string_view prefix) const;

  std::wstring trace_path_;
  std::wstring state_path_;
  std::wstring capture_path_;
  unsigned long pid_;
};

}  // namespace test_support
