#pragma once

#include <cstdint>
#include <string>

#include "utility/core/byte_queue.h"
#include "utility/core/config_frames.h"

namespace utility {

// What the dialog needs of its port object. CSerialLink implements it on
// each platform; tests substitute a scripted fake.
//
// Threads: every call here is made by the dialog's thread. The port object's
// watch thread fills the receive ring and announces each burst to the
// notification target (a posted WM_USER+1 on Windows, a callback on POSIX);
// the dialog then drains the ring on its own thread.
class UtilityLink : public FrameWriter {
 public:
  // Opens `deviceName` ("COM4") at `baudRate`, 8N1, and starts the watch
  // thread. False when the port is absent, held elsewhere or refuses the
  // settings; nothing stays open then.
  virtual bool OpenLink(const std::string& deviceName, std::int32_t baudRate, std::uint16_t portNumber) = 0;
  // Stops the watch thread and releases the port. The ring keeps its bytes.
  virtual void CloseLink() = 0;
  // True from a successful OpenLink until CloseLink or a ring overflow.
  virtual bool IsConnected() const = 0;
  // Points the receive notification at the dialog (m_hNotifyWnd on Windows).
  virtual void AttachNotifications() = 0;
  // The receive ring; the dialog is its only consumer.
  virtual CByteQueue& ReceiveQueue() = 0;
  // Empties the ring if the watch thread dropped a chunk that did not fit
  // since the last call; answers whether that happened. The dialog calls it
  // before it looks at the ring.
  virtual bool ApplyPendingClear() = 0;
  // True once after the line went away under the open link (the far end
  // hung up, the adapter was removed): the watch thread has announced it
  // with one last notification and ended, and the link counts as
  // disconnected until CloseLink releases the port.
  virtual bool TakeLineLost() = 0;
  // Waits until the bytes written so far have left the driver, at most
  // `limitMs` milliseconds, so that a close, which purges the driver's
  // queues, cannot discard them. False when they had not left in time.
  virtual bool WaitUntilSent(std::uint32_t limitMs) = 0;
};

// Lets a front end without a window of its own wait for the port object's
// receive notifications. Each notification is delivered once.
class NotificationWaiter {
 public:
  virtual ~NotificationWaiter() = default;
  // True as soon as a notification is (or already was) waiting; false when
  // none came within `limitMs` milliseconds.
  virtual bool WaitForNotification(std::uint32_t limitMs) = 0;
};

}  // namespace utility
