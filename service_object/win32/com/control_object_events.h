#pragma once
// The Control Object as the service object's events reach it: its dispatch interface, as
// OpenService received it, with a reference held until CloseService, and its SOStatusUpdate
// method found by name at the first event (a Control Object that never gets an event is never
// asked). A Control Object without the method gets no events.

// First: <windows.h> without the macros that clash with OPOS method names.
#include "service_object/win32/opos_names.h"
#include <oaidl.h>

#include <cstdint>

#include "service_object/core/event_delivery.h"
#include "service_object/win32/com/com_resources.h"

namespace varnel::com {

class ControlObjectEvents final : public StatusSink {
 public:
  // Takes a reference of its own on `control` (not null).
  explicit ControlObjectEvents(IDispatch* control);
  // SOStatusUpdate(status), called on the calling thread; the Control Object's failure is not
  // the service object's to report.
  void status_update(std::int32_t status) override;

 private:
  ComPtr<IDispatch> control_;
  DISPID status_update_ = DISPID_UNKNOWN;
  bool looked_up_ = false;
};

}  // namespace varnel::com
