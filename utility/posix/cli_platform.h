#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>

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

// Starts a program found on PATH, without waiting for it; its output goes
// where ours goes.
class SpawnProgramStarter final : public ProgramStarter {
 public:
  bool Start(std::string_view commandLine) override;
};

}  // namespace utility
