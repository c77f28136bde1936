// A child process that is always reaped: started with posix_spawn (safe in a
// multi-threaded test process, unlike fork), ended on destruction.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

class ChildProcess {
 public:
  // Runs argv[0] with the arguments that follow; its stdin is /dev/null and its
  // stdout and stderr go to the given files. Throws std::system_error.
  ChildProcess(const std::vector<std::string>& argv, const std::string& stdout_path,
               const std::string& stderr_path);
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  // Terminates the child if it still runs (see terminate()).
  ~ChildProcess();

  pid_t pid() const { return pid_; }

  // The exit code if the child has ended: its exit status, or 128 + the
  // signal that killed it. Does not wait.
  std::optional<int> exit_code();

  // Waits up to `timeout` for the child to end.
  std::optional<int> wait_exit(std::chrono::milliseconds timeout);

  // Sends SIGTERM and waits up to `grace`; then SIGKILL and a wait that cannot
  // block for long, as SIGKILL cannot be caught. Returns the exit code.
  int terminate(std::chrono::milliseconds grace);

 private:
  pid_t pid_ = -1;
  std::optional<int> exit_code_;
};

}  // namespace test_support
