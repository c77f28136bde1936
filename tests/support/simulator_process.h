// Runs the display simulator program for a native test.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "sim/model/observable_state.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_directory.h"

namespace test_support {

// The simulator program this build made.
const char* simulator_path();

// Starts the simulator in a fresh temporary directory with
//   --quiet --link DIR/port --state DIR/state --trace DIR/trace
// and waits until the link exists, which the simulator makes only once it is
// ready to receive. On destruction the simulator gets SIGTERM (SIGKILL if it
// has not ended within a few seconds) and the directory is removed.
class SimulatorProcess {
 public:
  struct Options {
    std::string device;  // passed as --device when set: serve this tty instead of a new pty
    std::vector<std::string> extra_args{};  // appended to the command line as they are
    std::chrono::milliseconds startup_timeout = std::chrono::seconds(10);
  };

  // Throws std::runtime_error, with the simulator's stderr, if it does not
  // become ready in time.
  SimulatorProcess() : SimulatorProcess(Options{}) {}
  explicit SimulatorProcess(const Options& options);
  SimulatorProcess(const SimulatorProcess&) = delete;
  SimulatorProcess& operator=(const SimulatorProcess&) = delete;
  ~SimulatorProcess() = default;

  // The link to the port, for open(2) or a COM-port mapping.
  const std::string& port_path() const { return port_path_; }
  // What the link points to, such as /dev/pts/7.
  std::string tty_path() const;

  // The complete lines of the trace file so far.
  std::vector<std::string> trace_lines() const;
  // Waits up to `timeout` for at least `count` trace lines and returns the
  // lines there are by then (fewer on a timeout, or if the simulator ended).
  std::vector<std::string> wait_for_trace_lines(std::size_t count, std::chrono::milliseconds timeout);

  // The state file, parsed. The simulator writes it before the trace lines of
  // the same read, so after waiting for a trace line its effect is here.
  // Throws std::runtime_error if it cannot be read or parsed.
  sim::ObservableState state() const;

  // Whether the simulator process is still running.
  bool running() { return !process_.exit_code().has_value(); }

  // Sends `signal` to the simulator: SIGUSR1 unplugs its line, SIGUSR2 plugs it
  // back in, SIGSTOP and SIGCONT pause and resume it.
  void signal(int signal) const;

  // Sends SIGTERM and returns the exit code (0 for a clean stop).
  int stop() { return process_.terminate(std::chrono::seconds(5)); }

  // What the simulator wrote to stderr so far.
  std::string error_output() const;

  const TempDirectory& directory() const { return directory_; }

 private:
  TempDirectory directory_;  // declared first: removed after the process has ended
  std::string port_path_;
  ChildProcess process_;
};

struct RunResult {
  int exit_code = -1;  // -1: still running at the deadline (then killed)
  std::string output;  // stdout
  std::string errors;  // stderr
};

// Runs the simulator with exactly these arguments until it ends, for at most
// `timeout`; for checking how it treats its command line.
RunResult run_simulator(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout);

// The whole content of a file; empty if it cannot be read.
std::string read_file(const std::string& path);

}  // namespace test_support
