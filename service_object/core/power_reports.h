#pragma once
// Power reports of one service object: its PowerNotify and PowerState, and the status-update
// events that tell the Control Object of each change of PowerState.
//
// The outcome of every write the object makes (on the application's thread or on the marquees'
// timer thread) is observed here; a change of state queues an event. Events leave the queue only
// on the thread of the object's apartment (next_event), never while events are frozen and never
// after close. The class guards itself with its own lock, taken after the device lock when both
// are held, and never held while an event is delivered (the Control Object may call back).
// docs/integrator.md ("power reports") lists what the application sees.

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "service_object/core/opos_properties.h"

namespace varnel {

// What a write found the line to be, as far as power reporting cares.
enum class LineSeen {
  kNothing,  // no write was made, or its outcome says nothing about the display
  kWritten,  // bytes went through: the display is there
  kGone,     // the port vanished, or the line is stalled: the display is off or offline
};

class PowerReports {
 public:
  // PowerNotify. Answers the result code: 0, or OPOS_E_ILLEGAL (106) for a value that is not
  // OPOS_PN_DISABLED or OPOS_PN_ENABLED or while the device is enabled.
  std::int32_t set_notify(std::int32_t value, bool device_enabled);
  [[nodiscard]] std::int32_t notify() const;
  // PowerState: OPOS_PS_UNKNOWN unless notification is enabled and a write has told.
  [[nodiscard]] std::int32_t state() const;

  // After a write of the enabled device. Answers true when an event was queued that may be
  // delivered now: the caller asks for a delivery on the apartment thread.
  bool observe(LineSeen seen);
  // The device was disabled: the state is unknown again, without an event.
  void forget_state();

  // FreezeEvents. Answers true when events wait that may be delivered now (thawed).
  bool freeze(bool frozen);

  // The next event to deliver, or nothing (none queued, frozen, or closed). Apartment thread.
  std::optional<std::int32_t> next_event();

  // OpenService: events flow again, with nothing queued or frozen and notification disabled.
  void open();
  // CloseService: the queue is dropped and nothing is delivered until the next open.
  void close();

 private:
  mutable std::mutex lock_;
  bool open_ = false;
  bool notify_ = false;
  bool frozen_ = false;
  std::int32_t state_ = opos::OPOS_PS_UNKNOWN;
  std::deque<std::int32_t> queue_;
};

}  // namespace varnel
