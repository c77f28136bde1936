#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "utility/core/dialog_view.h"
#include "utility/core/utility_link.h"

namespace utility {

// Collects the link's receive callbacks (watch thread) for a front end that
// waits for them on its own thread.
class CallbackNotificationWaiter final : public NotificationWaiter {
 public:
  // Called from the watch thread, once per burst.
  void Notify();
  bool WaitForNotification(std::uint32_t limitMs) override;

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::uint64_t pending_ = 0;
};

// Starts the firmware tool by its full path (posix_spawn, no search of its
// own), without waiting for it; its output goes where ours goes. The places
// are this program's folder (from /proc/self/exe) and PATH's folders; a
// program file is a regular file this process may execute.
class SpawnProgramStarter final : public ProgramStarter {
 public:
  Places SearchPlaces() const override;
  bool IsProgramFile(const std::string& path) const override;
  bool Start(const std::string& path) override;
};

}  // namespace utility
