// How late a marquee step runs against its due time on the library's own timer thread (the
// product's win32/marquee_timer, the thread every marquee of VARNEL.dll steps on). The thread is
// asked for a step every 50 ms, as a marquee with MarqueeUnitWait 50 does; each step records how
// long after its due time it ran. Reports the median, the 99th percentile and the largest delay.
//
// Runs by hand under Wine, on an otherwise idle machine:
//   scripts/wine-run.sh build/win32/bench/win32/marquee_jitter_bench.exe [steps]

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "service_object/win32/marquee_timer.h"

int main(int argc, char** argv) {
  using namespace std::chrono;
  // A count that is no number reads as 0, and so as the least of 10 steps.
  const long asked = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 200;
  const int steps = static_cast<int>(std::clamp(asked, 10L, 100000L));
  constexpr auto kUnitWait = milliseconds(50);

  std::vector<double> late_ms;
  late_ms.reserve(static_cast<std::size_t>(steps));
  std::atomic<bool> done{false};
  varnel::Clock::time_point due = varnel::Clock::now() + kUnitWait;
  varnel::win32::Win32MarqueeTimers timers;
  auto timer = timers.start([&]() -> std::optional<varnel::Clock::time_point> {
    const auto now = varnel::Clock::now();
    if (now < due) return due;  // the first call, at once
    late_ms.push_back(duration<double, std::milli>(now - due).count());
    if (static_cast<int>(late_ms.size()) >= steps) {
      done.store(true);
      return std::nullopt;
    }
    due += kUnitWait;  // from the due time, as the screen model times its steps
    return due;
  });
  if (!timer) {
    std::fprintf(stderr, "no timer thread\n");
    return 1;
  }
  while (!done.load()) std::this_thread::sleep_for(milliseconds(20));
  timer.reset();

  std::sort(late_ms.begin(), late_ms.end());
  const auto at = [&](double q) {
    return late_ms[static_cast<std::size_t>(q * static_cast<double>(late_ms.size() - 1))];
  };
  std::printf("marquee steps: %d at %lld ms\n", steps, static_cast<long long>(kUnitWait.count()));
  std::printf("late: median %.2f ms, p99 %.2f ms, max %.2f ms\n", at(0.5), at(0.99), late_ms.back());
  return 0;
}
