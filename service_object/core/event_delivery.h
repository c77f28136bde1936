#pragma once
// How the service object's events reach the Control Object: the Control Object's event method
// (status_update) is called only on the thread of the object's apartment, never from the
// marquees' timer thread or a write. Any thread may ask for a delivery (EventPoster::post); the
// platform then runs EventReceiver::deliver_events on the apartment thread (win32/event_window:
// a hidden window of the library and a posted message).

#include <cstdint>
#include <memory>

namespace varnel {

// The Control Object's side: SOStatusUpdate of its dispatch interface on Windows.
class StatusSink {
 public:
  virtual ~StatusSink() = default;
  // One status-update event. Runs the Control Object's code, which may call the service object
  // back (read PowerState, freeze events, even close it).
  virtual void status_update(std::int32_t status) = 0;
};

// What runs the deliveries: the service object.
class EventReceiver {
 public:
  virtual ~EventReceiver() = default;
  virtual void deliver_events() = 0;
};

// One object's way to its apartment thread. Destroying it (on the apartment thread) cancels the
// deliveries asked for and not yet made.
class EventPoster {
 public:
  virtual ~EventPoster() = default;
  // Asks for one run of the receiver's deliver_events on the apartment thread. Any thread; does
  // not wait.
  virtual void post() = 0;
};

class EventPosters {
 public:
  virtual ~EventPosters() = default;
  // A poster for `receiver` on the calling thread's apartment; null when none can be had (the
  // object then delivers no events). `receiver` must outlive the poster.
  virtual std::unique_ptr<EventPoster> open(EventReceiver& receiver) = 0;
};

}  // namespace varnel
