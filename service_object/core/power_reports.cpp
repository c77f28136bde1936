#include "service_object/core/power_reports.h"

#include "service_object/core/opos_properties.h"

namespace varnel {

using namespace opos;

namespace {

using Guard = std::lock_guard<std::mutex>;

constexpr std::size_t kMaxQueued = 64;  // even: dropped in pairs

}  // namespace

std::int32_t PowerReports::set_notify(std::int32_t value, bool device_enabled) {
  // The device class allows the change only while the device is disabled.
  if (device_enabled || (value != OPOS_PN_DISABLED && value != OPOS_PN_ENABLED)) return OPOS_E_ILLEGAL;
  const Guard guard(lock_);
  notify_ = value == OPOS_PN_ENABLED;
  state_ = OPOS_PS_UNKNOWN;
  return OPOS_SUCCESS;
}

std::int32_t PowerReports::notify() const {
  const Guard guard(lock_);
  return notify_ ? OPOS_PN_ENABLED : OPOS_PN_DISABLED;
}

std::int32_t PowerReports::state() const {
  const Guard guard(lock_);
  return state_;
}

bool PowerReports::observe(LineSeen seen) {
  if (seen == LineSeen::kNothing) return false;
  const Guard guard(lock_);
  if (!notify_ || !open_) return false;
  const std::int32_t now = seen == LineSeen::kWritten ? OPOS_PS_ONLINE : OPOS_PS_OFF_OFFLINE;
  if (now == state_) return false;
  state_ = now;
  // A line that comes and goes while events are frozen keeps only the latest changes. The oldest
  // go in pairs, a change with the one that undid it, so the events left still take turns.
  if (queue_.size() >= kMaxQueued) {
    queue_.pop_front();
    queue_.pop_front();
  }
  queue_.push_back(now == OPOS_PS_ONLINE ? OPOS_SUE_POWER_ONLINE : OPOS_SUE_POWER_OFF_OFFLINE);
  return !frozen_;
}

void PowerReports::forget_state() {
  const Guard guard(lock_);
  state_ = OPOS_PS_UNKNOWN;
}

bool PowerReports::freeze(bool frozen) {
  const Guard guard(lock_);
  frozen_ = frozen;
  return open_ && !frozen_ && !queue_.empty();
}

std::optional<std::int32_t> PowerReports::next_event() {
  const Guard guard(lock_);
  if (!open_ || frozen_ || queue_.empty()) return std::nullopt;
  const std::int32_t event = queue_.front();
  queue_.pop_front();
  return event;
}

void PowerReports::open() {
  const Guard guard(lock_);
  open_ = true;
  notify_ = false;
  frozen_ = false;
  state_ = OPOS_PS_UNKNOWN;
  queue_.clear();
}

void PowerReports::close() {
  const Guard guard(lock_);
  open_ = false;
  notify_ = false;
  state_ = OPOS_PS_UNKNOWN;
  queue_.clear();
}

}  // namespace varnel
