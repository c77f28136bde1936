#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "shared/posix/unique_fd.h"
#include "utility/core/byte_queue.h"
#include "utility/core/config_frames.h"
#include "utility/core/utility_link.h"

namespace utility {

// The utility's serial port: 8 data bits, no parity, one stop bit, raw bytes,
// held exclusively. A watch thread collects received bytes into m_QueueRead
// and calls the receive callback once per burst.
//
// Threads: the owner (the dialog) calls OpenLink, CloseLink, WriteBytes and
// ApplyPendingClear, and is the only consumer of m_QueueRead (Count, Get,
// Clear). The watch thread is its only producer (Put) and runs the callback.
//
// Overflow: when a received chunk does not fit in the ring the watch thread
// drops the whole chunk, asks for the ring to be emptied, stops serving the
// port (IsConnected turns false; WriteBytes answers 0) and ends after its last
// notification. It cannot empty the ring itself, because CByteQueue::Clear
// belongs to the consumer; it sets a flag that ApplyPendingClear honours
// instead. The consumer calls ApplyPendingClear before it looks at the ring;
// OpenLink and CloseLink call it too, so a reopened port never starts with the
// stale bytes of the overflowed one. The descriptor itself is released by the
// owner's CloseLink (or the next OpenLink, or the destructor).
//
// Hang-up: when the far end goes away (the other side of a pseudo-terminal
// closes, a USB adapter is unplugged, the tty is hung up) poll reports
// POLLHUP or POLLERR and reads answer 0 or EIO at once, for ever. The watch
// thread takes what bytes are still readable, marks the line lost (IsConnected
// turns false), announces it with one last notification and ends; the owner
// learns of it through TakeLineLost and releases the port with CloseLink.
class CSerialLink final : public UtilityLink {
 public:
  // Runs on the watch thread; it must return promptly, since CloseLink
  // waits for the thread to end.
  using ReceiveCallback = std::function<void()>;

  static constexpr std::size_t kReadChunk = 2068;
  static constexpr std::chrono::milliseconds kBurstPause{15};
  // How long the idle watch thread waits before it looks at the stop flag again.
  static constexpr std::chrono::milliseconds kIdlePoll{20};
  // How often WaitUntilSent looks at the driver's output queue.
  static constexpr std::chrono::milliseconds kDrainPoll{2};
  // The transmit FIFO of a common UART, which the output queue does not count.
  static constexpr long long kUartFifoBytes = 16;

  explicit CSerialLink(ReceiveCallback onReceive = {});
  CSerialLink(const CSerialLink&) = delete;
  CSerialLink& operator=(const CSerialLink&) = delete;
  ~CSerialLink() override;

  // `device` is a path ("/dev/ttyUSB0") or a name under /dev ("ttyS3").
  // Opens it without sharing, sets raw 8N1 at `baudRate`, flushes both
  // directions and starts the watch thread. A link that is open is closed
  // first. On failure nothing stays open or running. A non-empty callback
  // replaces the one given at construction.
  bool OpenLink(const std::string& device, std::int32_t baudRate, std::uint16_t portNumber,
                ReceiveCallback onReceive);
  bool OpenLink(const std::string& device, std::int32_t baudRate, std::uint16_t portNumber) override {
    return OpenLink(device, baudRate, portNumber, {});
  }

  // Stops and joins the watch thread, then releases the port. Harmless when
  // nothing is open. The ring keeps its contents.
  void CloseLink() override;

  // Writes the bytes within 1000 ms + 10 ms per byte; returns how many the
  // driver took, 0 when closed or on failure.
  std::uint32_t WriteBytes(const std::uint8_t* bytes, std::uint32_t length) override;

  // True from a successful OpenLink until CloseLink or a ring overflow.
  bool IsConnected() const override { return m_bConnected.load(std::memory_order_acquire); }

  // The callback given at construction or to OpenLink is the notification
  // target already; nothing to point.
  void AttachNotifications() override {}
  CByteQueue& ReceiveQueue() override { return m_QueueRead; }

  // Consumer side: empties m_QueueRead if the watch thread asked for it
  // after an overflow. Returns whether it did.
  bool ApplyPendingClear() override;
  bool TakeLineLost() override;
  // Polls the driver's output queue (TIOCOUTQ) until it is empty, then
  // allows the wire time of a UART's transmit FIFO, which the queue does
  // not count; never longer than `limitMs` in all.
  bool WaitUntilSent(std::uint32_t limitMs) override;

  const std::string& PortName() const { return m_PortName; }
  std::uint16_t PortNumber() const { return m_PortNumber; }

  CByteQueue m_QueueRead;

  // The path OpenLink opens for `device`: a path as it is; "COMn" the path
  // in the environment variable ZORN_COMn if set, else /dev/ttyS<n-1>;
  // any other name the device of that name under /dev.
  static std::string DevicePath(const std::string& device);

 private:
  enum class BurstEnd { kDone, kOverflow, kLineLost };

  void ThreadWatchComm();
  // Reads one burst until a read finds nothing. `hungUp`: poll reported the
  // line gone, so the burst ends in kLineLost once the bytes left are taken.
  BurstEnd ReadBurst(bool hungUp);
  void Notify() const;

  kit::posix::UniqueFd m_Port;
  std::string m_PortName;
  std::uint16_t m_PortNumber = 0;
  std::atomic<bool> m_bConnected{false};
  std::atomic<bool> m_StopRequested{false};
  std::atomic<bool> m_ClearRequested{false};
  std::atomic<bool> m_LineLost{false};
  std::int32_t m_BaudRate = 0;
  ReceiveCallback m_OnReceive;
  std::thread m_WatchThread;
};

}  // namespace utility
