#pragma once
// The marquees' timer thread on Windows: a thread of the library that waits on an event with
// the time-out its tick asks for. The system timer runs at 1 ms resolution while a thread lives,
// so that a step is not late by a whole default tick (about 15.6 ms).

// First: <windows.h> without the macros that clash with OPOS method names.
#include "service_object/win32/opos_names.h"

#include <atomic>
#include <memory>

#include "service_object/core/marquee_timer.h"

namespace varnel::win32 {

// Closes a kernel handle when it goes.
class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~OwnedHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  [[nodiscard]] HANDLE get() const { return handle_; }
  void reset(HANDLE handle) {
    if (handle_ != nullptr) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_;
};

class Win32MarqueeTimers final : public MarqueeTimers {
 public:
  std::unique_ptr<MarqueeTimer> start(MarqueeTimer::Tick tick) override;
};

}  // namespace varnel::win32
