#include "utility/posix/cli_platform.h"

#include <spawn.h>
#include <sys/types.h>

#include <chrono>
#include <string>

extern char** environ;  // NOLINT(readability-redundant-declaration): POSIX declares it nowhere

namespace utility {

void CallbackNotificationWaiter::Notify() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    ++pending_;
  }
  arrived_.notify_one();
}

bool CallbackNotificationWaiter::WaitForNotification(std::uint32_t limitMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!arrived_.wait_for(lock, std::chrono::milliseconds(limitMs), [this] { return pending_ > 0; })) {
    return false;
  }
  --pending_;
  return true;
}

bool SpawnProgramStarter::Start(std::string_view commandLine) {
  std::string program(commandLine);
  char* argv[] = {program.data(), nullptr};
  pid_t child = 0;
  // posix_spawnp: 0 once the program runs, an error number otherwise. The
  // child is not waited for; it is reaped when this short-lived process ends.
  return ::posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv, environ) == 0;
}

}  // namespace utility
