#include "utility/posix/cli_platform.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "utility/core/program_search.h"

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

ProgramStarter::Places SpawnProgramStarter::SearchPlaces() const {
  Places places;
  places.style = PathStyle::Posix;
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    places.ownFolder = self.parent_path().string();
  }
  // getenv: null when PATH is not set; then only the own folder is searched.
  // NOLINTNEXTLINE(concurrency-mt-unsafe): nothing in this program changes the environment.
  const char* path = std::getenv("PATH");
  if (path != nullptr) {
    places.searchFolders = SearchPathFolders(path, PathStyle::Posix);
  }
  return places;
}

bool SpawnProgramStarter::IsProgramFile(const std::string& path) const {
  struct stat status {};
  return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool SpawnProgramStarter::Start(const std::string& path) {
  std::string program(path);
  char* argv[] = {program.data(), nullptr};
  pid_t child = 0;
  // posix_spawn: 0 once the program runs, an error number otherwise. The
  // child is not waited for; it is reaped when this short-lived process ends.
  return ::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ) == 0;
}

}  // namespace utility
