#include "service_object/posix/serial_writer.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "shared/posix/serial_port.h"
#include "shared/posix/termios_speed.h"
#include "shared/serial_write_limit.h"

namespace varnel {
namespace {

std::string to_utf8(std::u16string_view text) {
  // Port names and paths are ASCII in practice; anything else is encoded as UTF-8.
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// What a failed write's errno says.
WriteResult classify_errno(int error) {
  switch (error) {
    case EIO:
    case ENXIO:
    case ENODEV:
    case EBADF: return WriteResult::kPortLost;
    default: return WriteResult::kFailed;
  }
}

}  // namespace

PosixSerialWriter::PosixSerialWriter(PortMap ports) : ports_(std::move(ports)) {}

PosixSerialWriter::~PosixSerialWriter() { close(); }

std::string PosixSerialWriter::device_path(std::u16string_view port_name) const {
  if (const auto it = ports_.find(port_name); it != ports_.end()) return it->second;
  return to_utf8(port_name);
}

bool PosixSerialWriter::open(std::u16string_view port_name, ParitySelector parity, std::int32_t baud_rate) {
  port_name_ = port_name;
  parity_ = parity;
  baud_rate_ = baud_rate;
  close();

  // Exclusive use, as on Windows: the advisory lock stops a second writer (TIOCEXCL alone does
  // not stop a privileged process).
  kit::posix::UniqueFd fd = kit::posix::open_serial_exclusive(device_path(port_name));
  if (!fd.is_valid()) return false;
  ::ioctl(fd.get(), TIOCEXCL);
  fd_ = std::move(fd);
  // Only a terminal that takes the line settings is a port to write to.
  if (!configure(parity, baud_rate)) {
    close();
    return false;
  }
  ::tcflush(fd_.get(), TCIOFLUSH);
  return true;
}

bool PosixSerialWriter::configure(ParitySelector parity, std::int32_t baud_rate) const {
  termios tio{};
  // tcgetattr: 0, or -1 with errno (ENOTTY: not a terminal).
  if (::tcgetattr(fd_.get(), &tio) != 0) return false;

  // Bytes pass untouched in both directions; flow control (CRTSCTS, IXON, IXOFF) is inherited.
  kit::posix::make_raw_8n1(tio);
  switch (parity) {
    case ParitySelector::kEven: tio.c_cflag |= PARENB; break;
    case ParitySelector::kOdd: tio.c_cflag |= PARENB | PARODD; break;
    case ParitySelector::kMark: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case ParitySelector::kSpace: tio.c_cflag |= PARENB | CMSPAR; break;
    case ParitySelector::kNone: break;
  }
  // A rate termios has no constant for is refused, like a rate a Windows port refuses.
  const speed_t speed = kit::posix::termios_speed(baud_rate);
  if (speed == B0) return false;
  ::cfsetispeed(&tio, speed);
  ::cfsetospeed(&tio, speed);
  // tcsetattr: 0 when at least one change was made, or -1 with errno.
  return ::tcsetattr(fd_.get(), TCSANOW, &tio) == 0;
}

bool PosixSerialWriter::write(std::span<const std::uint8_t> bytes) {
  return write_within(bytes, std::nullopt) == WriteResult::kWritten;
}

WriteResult PosixSerialWriter::write_within(std::span<const std::uint8_t> bytes,
                                            std::optional<std::chrono::milliseconds> limit) {
  if (!fd_.is_valid() || bytes.empty()) return WriteResult::kFailed;
  const auto now = std::chrono::steady_clock::now();
  auto deadline = now + kit::serial_write_limit(bytes.size());
  if (limit) deadline = std::min(deadline, now + *limit);

  std::size_t sent = 0;
  while (sent < bytes.size()) {
    // write: bytes written, or -1 with errno.
    const ssize_t n = ::write(fd_.get(), bytes.data() + sent, bytes.size() - sent);
    if (n > 0) {
      sent += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return classify_errno(errno);
    // The driver's queue is full: wait for room, but not past the deadline.
    pollfd pfd{fd_.get(), POLLOUT, 0};
    const int ready = ::poll(&pfd, 1, kit::posix::milliseconds_until(deadline));
    if (ready == 0) return WriteResult::kTimedOut;
    if (ready < 0 && errno != EINTR) return WriteResult::kFailed;
    if (ready > 0 && (pfd.revents & (POLLHUP | POLLNVAL)) != 0) return WriteResult::kPortLost;
    if (ready > 0 && (pfd.revents & POLLERR) != 0) return WriteResult::kFailed;
  }
  return wait_until_sent(deadline);
}

WriteResult PosixSerialWriter::wait_until_sent(std::chrono::steady_clock::time_point deadline) const {
  // tcdrain has no time-out; ask the driver how much is still queued instead.
  for (;;) {
    int queued = 0;
    if (::ioctl(fd_.get(), TIOCOUTQ, &queued) != 0 || queued <= 0) return WriteResult::kWritten;
    if (std::chrono::steady_clock::now() >= deadline) return WriteResult::kTimedOut;
    ::poll(nullptr, 0, 2);
  }
}

void PosixSerialWriter::close() {
  if (!fd_.is_valid()) return;
  // TIOCEXCL stays on the terminal after its last close: without TIOCNXCL every later open by
  // a user without privileges fails with EBUSY. ioctl: 0, or -1 with errno (ignored: the
  // descriptor goes either way).
  ::ioctl(fd_.get(), TIOCNXCL);
  // Output a timed-out write left queued is discarded, so close() cannot wait for the
  // terminal's closing time (docs/developer.md, "What the utility decides").
  kit::posix::flush_for_close(fd_.get());
  fd_.reset();  // also drops the flock
}

}  // namespace varnel
