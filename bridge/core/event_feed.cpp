#include "bridge/core/event_feed.h"

#include <nlohmann/json.hpp>

namespace bridge {

void EventFeed::publish(std::string display, bool online, std::string reason) {
  {
    const std::lock_guard guard(lock_);
    events_.push_back({++last_, std::move(display), online, std::move(reason)});
    if (events_.size() > kKept) events_.pop_front();
  }
  changed_.notify_all();
}

std::vector<DisplayEvent> EventFeed::wait_after(std::uint64_t sequence, std::chrono::milliseconds timeout) {
  std::unique_lock guard(lock_);
  changed_.wait_for(guard, timeout, [&] { return closed_ || last_ > sequence; });
  std::vector<DisplayEvent> found;
  if (closed_) return found;
  for (const DisplayEvent& event : events_) {
    if (event.sequence > sequence) found.push_back(event);
  }
  return found;
}

std::uint64_t EventFeed::last_sequence() const {
  const std::lock_guard guard(lock_);
  return last_;
}

void EventFeed::close() {
  {
    const std::lock_guard guard(lock_);
    closed_ = true;
  }
  changed_.notify_all();
}

bool EventFeed::closed() const {
  const std::lock_guard guard(lock_);
  return closed_;
}

std::string server_sent_event(const DisplayEvent& event) {
  nlohmann::json data = {{"name", event.display}, {"online", event.online}};
  if (!event.online) data["reason"] = event.reason;
  const std::string id = event.sequence == 0 ? "" : "id: " + std::to_string(event.sequence) + "\n";
  return id + "event: " + (event.online ? "online" : "offline") +
         "\ndata: " + data.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n\n";
}

}  // namespace bridge
