#include "bridge/core/display_channel.h"

#include "bridge/core/display_text.h"
#include "service_object/core/line_output.h"

namespace bridge {

const char* describe(Delivery delivery) {
  switch (delivery) {
    case Delivery::kShown: return "shown";
    case Delivery::kPortGone: return "port gone";
    case Delivery::kStalled: return "stalled";
    case Delivery::kFailed: return "write failed";
    case Delivery::kTimedOut: return "busy";
  }
  return "write failed";
}

DisplayChannel::DisplayChannel(DisplaySettings settings, const varnel::CodePage& page,
                               varnel::SerialPort& port, EventFeed& events,
                               std::unique_ptr<DisplayScreen> screen)
    : settings_(std::move(settings)), page_(page), port_(port), events_(events), screen_(std::move(screen)) {
  line_.port_name = utf8_to_utf16(settings_.port).value_or(u"");
  line_.baud_rate = settings_.baud_rate;
  line_.port_users = 1;  // the bridge always wants its port: a lost one is opened again
  line_.port_open = port_.open(line_.port_name, varnel::ParitySelector::kNone, line_.baud_rate);
  line_.line = line_.port_open ? varnel::LineCondition::kGood : varnel::LineCondition::kLost;
  set_online(line_.port_open, line_.port_open ? "" : describe(Delivery::kPortGone));
  writer_ = std::thread([this] { run(); });
}

DisplayChannel::~DisplayChannel() {
  {
    const std::lock_guard guard(lock_);
    stopping_ = true;
  }
  wake_writer_.notify_all();
  sent_.notify_all();
  writer_.join();
  port_.close();
}

Delivery DisplayChannel::apply(const std::function<void(DisplayScreen&, Clock::time_point)>& change,
                               std::chrono::milliseconds limit) {
  std::unique_lock guard(lock_);
  change(*screen_, Clock::now());
  const std::uint64_t mine = ++wanted_;
  wake_writer_.notify_one();
  if (!sent_.wait_for(guard, limit, [&] { return attempted_ >= mine || stopping_; }) || attempted_ < mine)
    return Delivery::kTimedOut;
  return last_delivery_;
}

DisplayChannel::Snapshot DisplayChannel::snapshot() const {
  const std::lock_guard guard(lock_);
  return {online_, reason_, screen_->rows()};
}

void DisplayChannel::run() {
  std::unique_lock guard(lock_);
  for (;;) {
    const auto ready = [&] {
      return stopping_ || wanted_ > attempted_ ||
             screen_->next_step().value_or(Clock::time_point::max()) <= Clock::now();
    };
    if (const auto step = screen_->next_step()) {
      wake_writer_.wait_until(guard, *step, ready);
    } else {
      wake_writer_.wait(guard, ready);
    }
    if (stopping_) return;
    screen_->advance(Clock::now());
    // The newest screen, whole: changes that arrive while it is sent wait for the next round.
    const std::uint64_t taking = wanted_;
    const ScreenRows wanted = screen_->rows();
    guard.unlock();
    const Delivery delivery = send(wanted);
    guard.lock();
    attempted_ = taking;
    last_delivery_ = delivery;
    set_online(delivery == Delivery::kShown, delivery == Delivery::kShown ? "" : describe(delivery));
    sent_.notify_all();
  }
}

Delivery DisplayChannel::send(const ScreenRows& wanted) {
  const std::lock_guard line_guard(line_.lock);
  // A port that is not held is opened by send_on_line; what it shows then is unknown.
  if (!line_.port_open) shown_.reset();
  const std::vector<std::uint8_t> bytes = screen_update_bytes(shown_, wanted);
  // An unknown display with nothing to draw is still cleared, so a reopen is tried.
  switch (varnel::send_on_line(line_, port_, {std::span<const std::uint8_t>(bytes)})) {
    case varnel::OutputStatus::kSent:
    case varnel::OutputStatus::kNoPort:
      if (line_.port_open) {
        shown_ = wanted;
        return Delivery::kShown;
      }
      return Delivery::kPortGone;
    case varnel::OutputStatus::kTimedOut: shown_.reset(); return Delivery::kStalled;
    case varnel::OutputStatus::kPortLost: shown_.reset(); return Delivery::kPortGone;
    case varnel::OutputStatus::kFailed: shown_.reset(); return Delivery::kFailed;
  }
  return Delivery::kFailed;
}

void DisplayChannel::set_online(bool online, const std::string& reason) {
  // Called with lock_ held, or from the constructor before the writer starts (which always
  // publishes: a listener learns every display's first state).
  if (announced_ && online == online_ && reason == reason_) return;
  announced_ = true;
  online_ = online;
  reason_ = reason;
  events_.publish(settings_.name, online, reason);
}

}  // namespace bridge
