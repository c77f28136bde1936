#include "service_object/win32/marquee_timer.h"

#include <mmsystem.h>

#include <algorithm>

namespace varnel::win32 {
namespace {

// The system timer at 1 ms for as long as it lives.
class TimerResolution {
 public:
  TimerResolution() : held_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
  ~TimerResolution() {
    if (held_) timeEndPeriod(1);
  }
  TimerResolution(const TimerResolution&) = delete;
  TimerResolution& operator=(const TimerResolution&) = delete;

 private:
  bool held_;
};

class Win32MarqueeTimer final : public MarqueeTimer {
 public:
  explicit Win32MarqueeTimer(Tick tick)
      : tick_(std::move(tick)), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

  ~Win32MarqueeTimer() override {
    stopping_.store(true);
    if (wake_.get() != nullptr) SetEvent(wake_.get());
    if (thread_.get() != nullptr) WaitForSingleObject(thread_.get(), INFINITE);
  }
  Win32MarqueeTimer(const Win32MarqueeTimer&) = delete;
  Win32MarqueeTimer& operator=(const Win32MarqueeTimer&) = delete;

  bool run() {
    if (wake_.get() == nullptr) return false;
    thread_.reset(CreateThread(nullptr, 0, &Win32MarqueeTimer::main, this, 0, nullptr));
    return thread_.get() != nullptr;
  }

  void wake() override { SetEvent(wake_.get()); }

 private:
  static DWORD WINAPI main(void* self) noexcept {
    static_cast<Win32MarqueeTimer*>(self)->loop();
    return 0;
  }

  void loop() noexcept {
    const TimerResolution resolution;
    while (!stopping_.load()) {
      std::optional<Clock::time_point> next;
      try {
        next = tick_();
      } catch (...) {
        next.reset();  // out of memory in a step: wait for the next change
      }
      DWORD wait = INFINITE;
      if (next) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count();
        wait = static_cast<DWORD>(std::clamp<long long>(left, 0, 24LL * 3600 * 1000));
      }
      WaitForSingleObject(wake_.get(), wait);
    }
  }

  Tick tick_;
  OwnedHandle wake_;
  std::atomic<bool> stopping_{false};
  OwnedHandle thread_;
};

}  // namespace

std::unique_ptr<MarqueeTimer> Win32MarqueeTimers::start(MarqueeTimer::Tick tick) {
  auto timer = std::make_unique<Win32MarqueeTimer>(std::move(tick));
  if (!timer->run()) return nullptr;
  return timer;
}

}  // namespace varnel::win32
