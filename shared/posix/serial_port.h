#pragma once
// Shared by the deliverables' POSIX layers: header only, nothing to link.
// What both serial layers do the same way on a terminal device: open it for their own use only,
// set it raw at 8 data bits, and wait for it no longer than a deadline (the write time limit
// itself is kit::serial_write_limit).

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <chrono>
#include <string>

#include "shared/posix/unique_fd.h"

namespace kit::posix {

// Opens the terminal at `path` for reading and writing, non-blocking, and takes an advisory
// exclusive lock on it, so that a second opener (the other deliverable, another instance) finds
// it taken, as a Windows port opened without sharing is. Invalid when either step fails.
inline UniqueFd open_serial_exclusive(const std::string& path) {
  // open: a descriptor, or -1 with errno.
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  // flock: 0, or -1 with errno (EWOULDBLOCK: another descriptor holds the lock).
  if (fd.is_valid() && ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) fd.reset();
  return fd;
}

// Makes `tio` a raw line of 8 data bits, no parity, one stop bit: bytes pass untouched in both
// directions, reads return at once with what is there. Flow control (CRTSCTS, IXON, IXOFF) is
// left as it is; the speed is the caller's.
inline void make_raw_8n1(termios& tio) {
  tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL);
  tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
}

// What a closing port discards (docs/developer.md, "What the utility decides"): unread input
// always; output only while the driver still holds some, that is when the bounded drain before
// the close gave up (a display holding the line with flow control must not make close() wait
// for the terminal's closing time). Flushing the output of a pseudo-terminal would discard what
// its other end has not read yet, and its output queue always reads empty, so there only the
// input goes.
inline void flush_for_close(int fd) {
  int queued = 0;
  // ioctl TIOCOUTQ: 0 with the count of bytes the driver still holds, or -1 with errno.
  const bool output_held = ::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0;
  // tcflush: 0, or -1 with errno; the descriptor is closed either way.
  ::tcflush(fd, output_held ? TCIOFLUSH : TCIFLUSH);
}

// Whole milliseconds from now until `deadline`, rounded up (a poll() time-out); 0 once it passed.
inline int milliseconds_until(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace kit::posix
