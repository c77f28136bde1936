#pragma once
// The bridge's list of display events (a display going online or offline), numbered from 1, for
// the event stream of GET /v1/events. Every listener waits on the one list; the oldest events
// are dropped beyond kKept, so a listener that falls that far behind misses them.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace bridge {

struct DisplayEvent {
  std::uint64_t sequence = 0;
  std::string display;
  bool online = false;
  std::string reason;  // why it is offline ("port gone", "stalled", ...); empty when online
};

class EventFeed {
 public:
  static constexpr std::size_t kKept = 256;

  void publish(std::string display, bool online, std::string reason);

  // The events after `sequence`, waiting up to `timeout` for one; empty on the time-out or
  // once the feed is closed.
  [[nodiscard]] std::vector<DisplayEvent> wait_after(std::uint64_t sequence,
                                                     std::chrono::milliseconds timeout);

  // The number of the newest event (0 before the first).
  [[nodiscard]] std::uint64_t last_sequence() const;

  // Wakes every listener for good: the bridge is stopping.
  void close();
  [[nodiscard]] bool closed() const;

 private:
  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::deque<DisplayEvent> events_;
  std::uint64_t last_ = 0;
  bool closed_ = false;
};

// The event as a server-sent event: "event: online|offline" and one line of JSON data.
[[nodiscard]] std::string server_sent_event(const DisplayEvent& event);

}  // namespace bridge
