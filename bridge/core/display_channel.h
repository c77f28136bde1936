#pragma once
// One display and its one writer. Requests change the screen under the channel's lock, whole,
// and wait for the writer; the writer thread takes the newest screen each time it is free and
// sends what differs from what the display shows. Under a burst the screens in between are
// never sent, and no screen is ever sent half-changed: after the burst the display shows
// exactly the screen of the last request applied.
//
// The line rules are the service object's (service_object/core/line_output.h): a write that
// times out marks the line stalled and later writes fail fast; a port that vanished is closed
// and opened once again by the next write. A display offline at start-up is opened by the first
// write. Every change of online/offline goes to the event feed. After the port comes back the
// display is cleared and drawn whole from the screen.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "bridge/core/event_feed.h"
#include "bridge/core/line_display_screen.h"
#include "service_object/core/code_page.h"
#include "service_object/core/serial_port.h"
#include "service_object/core/service_module.h"

namespace bridge {

struct DisplaySettings {
  std::string name;
  std::string port;  // a device path (/dev/ttyUSB0) or a COM port name (COM3)
  std::int32_t baud_rate = 9600;
  std::int32_t code_page = 437;
};

// How a change reached the display.
enum class Delivery {
  kShown,     // the display shows it (or a newer screen)
  kPortGone,  // the port is gone or cannot be opened
  kStalled,   // the line does not take the bytes
  kFailed,    // the port refused the write
  kTimedOut,  // the writer did not get to it in time
};

[[nodiscard]] const char* describe(Delivery delivery);

class DisplayChannel {
 public:
  using Clock = DisplayScreen::Clock;

  // `port` must outlive the channel; only the channel's writer thread uses it. The code page
  // must be one of varnel::offered_code_pages(). Opens the port (a failure leaves the display
  // offline) and starts the writer.
  DisplayChannel(DisplaySettings settings, const varnel::CodePage& page, varnel::SerialPort& port,
                 EventFeed& events,
                 std::unique_ptr<DisplayScreen> screen = std::make_unique<LineDisplayScreen>());
  ~DisplayChannel();
  DisplayChannel(const DisplayChannel&) = delete;
  DisplayChannel& operator=(const DisplayChannel&) = delete;

  // Applies `change` to the screen and waits, at most `limit`, until the writer has sent a
  // screen that holds it, or failed to.
  Delivery apply(const std::function<void(DisplayScreen&, Clock::time_point)>& change,
                 std::chrono::milliseconds limit);

  struct Snapshot {
    bool online = false;
    std::string reason;  // why it is offline
    ScreenRows rows{};   // what the display shows (or will once it is back)
  };
  [[nodiscard]] Snapshot snapshot() const;

  [[nodiscard]] const DisplaySettings& settings() const { return settings_; }
  [[nodiscard]] const varnel::CodePage& code_page() const { return page_; }

 private:
  void run();
  Delivery send(const ScreenRows& wanted);
  void set_online(bool online, const std::string& reason);

  const DisplaySettings settings_;
  const varnel::CodePage& page_;
  varnel::SerialPort& port_;
  EventFeed& events_;
  varnel::DeviceState line_;  // the service object's line state; only the writer thread uses it

  mutable std::mutex lock_;
  std::condition_variable wake_writer_;
  std::condition_variable sent_;
  std::unique_ptr<DisplayScreen> screen_;
  std::uint64_t wanted_ = 0;     // changes applied to the screen
  std::uint64_t attempted_ = 0;  // the newest change the writer has tried to send
  Delivery last_delivery_ = Delivery::kShown;
  bool online_ = false;
  std::string reason_;
  bool announced_ = false;  // the first state has gone to the event feed
  bool stopping_ = false;
  std::optional<ScreenRows> shown_;  // what the display shows; nothing when unknown
  std::thread writer_;               // last: started once everything above exists
};

}  // namespace bridge
