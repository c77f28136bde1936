#include "utility/posix/serial_link.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "shared/posix/serial_port.h"
#include "shared/posix/termios_speed.h"
#include "shared/serial_write_limit.h"

namespace utility {

namespace {

// Raw 8N1 at `baudRate`; XON/XOFF off in both directions, hardware flow
// control left as the driver reported it. False when the port refuses.
bool ConfigureLine(int fd, std::int32_t baudRate) {
  const speed_t speed = kit::posix::termios_speed(baudRate);
  if (speed == B0) return false;
  termios tio{};
  // tcgetattr: 0, or -1 with errno (not a terminal).
  if (::tcgetattr(fd, &tio) != 0) return false;
  kit::posix::make_raw_8n1(tio);
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  // cfset*speed and tcsetattr: 0, or -1 with errno.
  if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return false;
  return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

CSerialLink::CSerialLink(ReceiveCallback onReceive) : m_OnReceive(std::move(onReceive)) {}

CSerialLink::~CSerialLink() { CloseLink(); }

std::string CSerialLink::DevicePath(const std::string& device) {
  if (device.empty() || device.front() == '/') return device;
  const bool comName = device.size() > 3 && device.compare(0, 3, "COM") == 0 &&
                       device.find_first_not_of("0123456789", 3) == std::string::npos && device.size() <= 6;
  if (comName) {
    const std::string variable = "ZORN_" + device;
    // getenv: the value, or null when unset; read on the owner's thread only.
    const char* mapped = std::getenv(variable.c_str());  // NOLINT(concurrency-mt-unsafe)
    if (mapped != nullptr && *mapped != '\0') return mapped;
    return "/dev/ttyS" + std::to_string(std::stoi(device.substr(3)) - 1);
  }
  return "/dev/" + device;
}

bool CSerialLink::OpenLink(const std::string& device, std::int32_t baudRate, std::uint16_t portNumber,
                           ReceiveCallback onReceive) {
  CloseLink();
  m_PortNumber = portNumber;
  m_PortName = device;
  if (onReceive) m_OnReceive = std::move(onReceive);

  // No sharing: an advisory lock that a second opener finds taken.
  kit::posix::UniqueFd port = kit::posix::open_serial_exclusive(DevicePath(device));
  if (!port.is_valid()) return false;
  if (!ConfigureLine(port.get(), baudRate)) return false;
  // tcflush: 0, or -1 with errno; a port that cannot flush is still usable.
  ::tcflush(port.get(), TCIOFLUSH);

  m_Port = std::move(port);
  m_BaudRate = baudRate;
  m_LineLost.store(false, std::memory_order_relaxed);
  m_StopRequested.store(false, std::memory_order_relaxed);
  m_bConnected.store(true, std::memory_order_release);
  try {
    m_WatchThread = std::thread(&CSerialLink::ThreadWatchComm, this);
  } catch (const std::system_error&) {
    CloseLink();
    return false;
  }
  return true;
}

void CSerialLink::CloseLink() {
  m_bConnected.store(false, std::memory_order_release);
  m_StopRequested.store(true, std::memory_order_release);
  // The thread looks at the stop flag at least every kIdlePoll + kBurstPause,
  // so this join is bounded; it must end before the descriptor goes away.
  if (m_WatchThread.joinable()) m_WatchThread.join();
  if (m_Port.is_valid()) {
    // Output is discarded only if the drain gave up (docs/developer.md).
    kit::posix::flush_for_close(m_Port.get());
    m_Port.reset();  // also drops the flock
  }
  ApplyPendingClear();
  m_LineLost.store(false, std::memory_order_relaxed);
}

bool CSerialLink::TakeLineLost() { return m_LineLost.exchange(false, std::memory_order_acq_rel); }

bool CSerialLink::WaitUntilSent(std::uint32_t limitMs) {
  if (!m_Port.is_valid()) return true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    int queued = 0;
    // ioctl TIOCOUTQ: 0 with the count of bytes the driver still holds, or -1 with errno.
    if (::ioctl(m_Port.get(), TIOCOUTQ, &queued) != 0) return false;
    if (queued <= 0) break;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kDrainPoll);
  }
  // The queue does not count what the UART's transmit FIFO still holds.
  if (m_BaudRate > 0) {
    const auto fifoTime = std::chrono::microseconds(kUartFifoBytes * 10LL * 1000000LL / m_BaudRate);
    std::this_thread::sleep_until(std::min(deadline, std::chrono::steady_clock::now() + fifoTime));
  }
  return true;
}

bool CSerialLink::ApplyPendingClear() {
  if (!m_ClearRequested.exchange(false, std::memory_order_acq_rel)) return false;
  m_QueueRead.Clear();
  return true;
}

std::uint32_t CSerialLink::WriteBytes(const std::uint8_t* bytes, std::uint32_t length) {
  if (!IsConnected() || !m_Port.is_valid() || bytes == nullptr || length == 0) return 0;
  const int fd = m_Port.get();
  const auto deadline = std::chrono::steady_clock::now() + kit::serial_write_limit(length);

  std::uint32_t sent = 0;
  while (sent < length) {
    // write: bytes written, or -1 with errno.
    const ssize_t n = ::write(fd, bytes + sent, length - sent);
    if (n > 0) {
      sent += static_cast<std::uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return sent;
    // The driver's queue is full: wait for room, but not past the time limit.
    pollfd pfd{fd, POLLOUT, 0};
    const int ready = ::poll(&pfd, 1, kit::posix::milliseconds_until(deadline));
    if (ready == 0) return sent;
    if (ready < 0 && errno != EINTR) return sent;
    if (ready > 0 && (pfd.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) return sent;
  }
  return sent;
}

void CSerialLink::Notify() const {
  if (m_OnReceive) m_OnReceive();
}

void CSerialLink::ThreadWatchComm() {
  const int fd = m_Port.get();
  while (!m_StopRequested.load(std::memory_order_acquire)) {
    pollfd pfd{fd, POLLIN, 0};
    // poll: ready count, 0 on time-out, or -1 with errno.
    const int ready = ::poll(&pfd, 1, static_cast<int>(kIdlePoll.count()));
    if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
    const bool hungUp = ready < 0 || (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    const BurstEnd end = ReadBurst(hungUp);
    if (end == BurstEnd::kOverflow) {
      // The port is out of service until the owner closes it.
      m_bConnected.store(false, std::memory_order_release);
      Notify();
      return;
    }
    if (end == BurstEnd::kLineLost) {
      // Reported once. The loss is published before the link turns
      // disconnected (both release, read with acquire), so whoever sees it
      // disconnected also sees why, and the notification finds both
      // (docs/developer.md, the utility's rules).
      m_LineLost.store(true, std::memory_order_release);
      m_bConnected.store(false, std::memory_order_release);
      Notify();
      return;
    }
    Notify();
  }
}

CSerialLink::BurstEnd CSerialLink::ReadBurst(bool hungUp) {
  std::array<std::uint8_t, kReadChunk> chunk{};
  const int fd = m_Port.get();
  for (bool first = true;; first = false) {
    // read: bytes read, 0 when nothing is waiting (VMIN and VTIME are 0) or
    // the line hung up, or -1 with errno (EAGAIN: nothing waiting; EIO: the
    // far end of a pseudo-terminal closed).
    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    const bool failed = n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
    // A read that finds nothing just after poll said "readable" means the
    // line is gone: a live line only wakes poll with bytes.
    if (failed || (n <= 0 && (hungUp || (first && n == 0)))) return BurstEnd::kLineLost;
    if (n <= 0) {
      // The read that finds nothing is paused after too, as a burst ends.
      std::this_thread::sleep_for(kBurstPause);
      return BurstEnd::kDone;
    }
    if (n >= CByteQueue::kSlots - m_QueueRead.Count()) {
      // The chunk would leave more than 8191 bytes queued: drop all of it
      // and have the consumer empty the ring.
      m_ClearRequested.store(true, std::memory_order_release);
      return BurstEnd::kOverflow;
    }
    for (ssize_t i = 0; i < n; ++i) m_QueueRead.Put(chunk[static_cast<std::size_t>(i)]);
    std::this_thread::sleep_for(kBurstPause);
    if (m_StopRequested.load(std::memory_order_acquire)) return BurstEnd::kDone;
  }
}

}  // namespace utility
