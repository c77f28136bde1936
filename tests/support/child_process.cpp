#include "tests/support/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <csignal>
#include <system_error>
#include <thread>

extern char** environ;

namespace test_support {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(5);

// Frees the posix_spawn file actions however the start ends.
class SpawnFileActions {
 public:
  SpawnFileActions() { ::posix_spawn_file_actions_init(&actions_); }
  ~SpawnFileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

int exit_code_of(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const std::string& stdout_path,
                           const std::string& stderr_path) {
  SpawnFileActions actions;
  const int output_flags = O_WRONLY | O_CREAT | O_TRUNC;
  // The posix_spawn family returns 0 or an error number.
  int error = ::posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0);
  if (error == 0)
    error = ::posix_spawn_file_actions_addopen(actions.get(), 1, stdout_path.c_str(), output_flags, 0644);
  if (error == 0)
    error = ::posix_spawn_file_actions_addopen(actions.get(), 2, stderr_path.c_str(), output_flags, 0644);
  if (error != 0) throw std::system_error(error, std::generic_category(), "cannot prepare the child's files");

  std::vector<char*> arguments;
  arguments.reserve(argv.size() + 1);
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);
  error = ::posix_spawn(&pid_, arguments[0], actions.get(), nullptr, arguments.data(), environ);
  if (error != 0) {
    pid_ = -1;
    throw std::system_error(error, std::generic_category(), "cannot start " + argv.at(0));
  }
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) terminate(std::chrono::seconds(5));
}

std::optional<int> ChildProcess::exit_code() {
  if (exit_code_ || pid_ <= 0) return exit_code_;
  int status = 0;
  // waitpid() returns the pid once ended, 0 while it runs (WNOHANG), or -1.
  const pid_t result = ::waitpid(pid_, &status, WNOHANG);
  if (result == pid_) {
    exit_code_ = exit_code_of(status);
  } else if (result < 0 && errno != EINTR) {
    exit_code_ = -1;  // not our child any more; nothing left to wait for
  }
  return exit_code_;
}

std::optional<int> ChildProcess::wait_exit(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!exit_code() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(kPollInterval);
  return exit_code();
}

int ChildProcess::terminate(std::chrono::milliseconds grace) {
  if (exit_code()) return *exit_code_;
  ::kill(pid_, SIGTERM);
  if (std::optional<int> code = wait_exit(grace)) return *code;
  ::kill(pid_, SIGKILL);
  if (std::optional<int> code = wait_exit(std::chrono::seconds(5))) return *code;
  return -1;
}

}  // namespace test_support
