#pragma once
// The Windows implementations of the service object's platform services, in one place: what a
// loaded library (or a program that holds the object directly) hands to its ServiceModule.

// First: <windows.h> without the macros that clash with OPOS method names.
#include "service_object/win32/opos_names.h"

#include "service_object/core/service_module.h"
#include "service_object/win32/event_window.h"
#include "service_object/win32/local_machine_registry.h"
#include "service_object/win32/marquee_timer.h"
#include "service_object/win32/message_box.h"
#include "service_object/win32/readonly_file_reader.h"
#include "service_object/win32/serial_writer.h"
#include "service_object/win32/wow64_process.h"

namespace varnel::win32 {

class Platform {
 public:
  Platform() = default;
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;

  // References into this object: it must outlive the module it is given to.
  [[nodiscard]] ServicePlatform services() {
    ServicePlatform services{port_, registry_, files_, messages_, process_};
    services.timers = &timers_;
    services.events = &events_;
    services.pause = [](std::chrono::milliseconds time) { Sleep(static_cast<DWORD>(time.count())); };
    return services;
  }

 private:
  Win32SerialWriter port_;
  Win32ConfigRegistry registry_;
  Win32TextFileReader files_;
  Win32MessageBox messages_;
  Win32ProcessInfo process_;
  Win32MarqueeTimers timers_;
  Win32EventPosters events_;
};

}  // namespace varnel::win32
