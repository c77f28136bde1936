#pragma once
// The library's own timer thread, on which marquees step: the application needs no message
// loop for them. The platform folders implement it (win32/marquee_timer: a thread and an event).

#include <functional>
#include <memory>
#include <optional>

#include "service_object/core/screen_model.h"

namespace varnel {

// One thread that calls `tick` at the times `tick` itself asks for.
class MarqueeTimer {
 public:
  // Answers when to be called next, or nothing: wait until wake().
  using Tick = std::function<std::optional<Clock::time_point>()>;
  // Stops the thread and waits for it: no tick runs after the destructor has returned. Must not
  // be destroyed while holding a lock that `tick` takes.
  virtual ~MarqueeTimer() = default;
  // The time the tick asked for may have changed: it runs again at once.
  virtual void wake() = 0;
};

class MarqueeTimers {
 public:
  virtual ~MarqueeTimers() = default;
  // Starts a thread that calls `tick` at once and then when it asks; null when none can be had.
  virtual std::unique_ptr<MarqueeTimer> start(MarqueeTimer::Tick tick) = 0;
};

}  // namespace varnel
