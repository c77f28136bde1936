#pragma once
// Event delivery on Windows: one hidden message-only window of the library per open object,
// made on the thread of the object's apartment. A delivery is asked for by posting a message to
// it (from any thread); the apartment thread's message loop runs it. Destroying the window
// drops the messages posted to it and not yet taken.

// First: <windows.h> without the macros that clash with OPOS method names.
#include "service_object/win32/opos_names.h"

#include <memory>

#include "service_object/core/event_delivery.h"

namespace varnel::win32 {

class Win32EventPosters final : public EventPosters {
 public:
  std::unique_ptr<EventPoster> open(EventReceiver& receiver) override;
};

}  // namespace varnel::win32
