#include "sim/runtime/serial_endpoint.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>
#include <system_error>

#include "sim/runtime/posix_io.h"

namespace sim {
namespace {

// Raw mode: every byte 0x00..0xFF passes unchanged, with no echo, no line
// editing, no signal characters, no flow control and no output processing.
// CLOCAL lets a real port be read without a carrier signal.
void make_raw(int fd, const std::string& path) {
  termios settings{};
  // tcgetattr() and tcsetattr() return 0 or -1.
  if (::tcgetattr(fd, &settings) != 0) throw_errno("cannot read the terminal settings of " + path);
  ::cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &settings) != 0) throw_errno("cannot set raw mode on " + path);
}

void make_non_blocking(int fd, const std::string& path) {
  // fcntl() returns the flags or -1, then 0 or -1.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
    throw_errno("cannot make " + path + " non-blocking");
  }
}

struct SpeedName {
  speed_t speed;
  std::uint32_t bits_per_second;
};

constexpr SpeedName kSpeeds[] = {
    {B9600, 9600}, {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200},
};

}  // namespace

std::optional<std::uint32_t> SerialEndpoint::line_speed() const {
  termios settings{};
  // tcgetattr() returns 0 or -1. On a pseudo-terminal master it reports the
  // settings of the port end.
  if (::tcgetattr(read_end_.get(), &settings) != 0) return std::nullopt;
  const speed_t speed = ::cfgetospeed(&settings);
  for (const SpeedName& name : kSpeeds) {
    if (name.speed == speed) return name.bits_per_second;
  }
  return 0;
}

void SerialEndpoint::set_line_speed(std::uint32_t bits_per_second) {
  const int fd = held_port_end_.is_valid() ? held_port_end_.get() : read_end_.get();
  termios settings{};
  for (const SpeedName& name : kSpeeds) {
    if (name.bits_per_second != bits_per_second) continue;
    // tcgetattr(), cfset*speed() and tcsetattr() return 0 or -1.
    if (::tcgetattr(fd, &settings) != 0 || ::cfsetispeed(&settings, name.speed) != 0 ||
        ::cfsetospeed(&settings, name.speed) != 0 || ::tcsetattr(fd, TCSANOW, &settings) != 0) {
      throw_errno("cannot set the line speed of " + port_path_);
    }
    return;
  }
  throw std::invalid_argument("no line speed of " + std::to_string(bits_per_second));
}

SerialEndpoint SerialEndpoint::open_pseudo_terminal() {
  // posix_openpt() returns a descriptor or -1; grantpt() and unlockpt() 0 or -1.
  kit::posix::UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!master.is_valid()) throw_errno("cannot open a pseudo-terminal");
  if (::grantpt(master.get()) != 0) throw_errno("grantpt failed");
  if (::unlockpt(master.get()) != 0) throw_errno("unlockpt failed");

  // ptsname_r() returns 0 or an error number (ptsname() is not reentrant).
  char name[128];
  if (const int error = ::ptsname_r(master.get(), name, sizeof name); error != 0) {
    throw std::system_error(error, std::generic_category(), "cannot name the pseudo-terminal");
  }
  const std::string port_path = name;

  kit::posix::UniqueFd port_end(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!port_end.is_valid()) throw_errno("cannot open " + port_path);
  make_raw(port_end.get(), port_path);
  make_non_blocking(master.get(), "the pseudo-terminal master");
  return SerialEndpoint(std::move(master), std::move(port_end), port_path);
}

SerialEndpoint SerialEndpoint::open_device(const std::string& path) {
  // O_NONBLOCK keeps open() from waiting for a carrier on a real port.
  kit::posix::UniqueFd device(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!device.is_valid()) throw_errno("cannot open " + path);
  if (!::isatty(device.get())) throw std::runtime_error(path + " is not a terminal device");
  make_raw(device.get(), path);
  return SerialEndpoint(std::move(device), kit::posix::UniqueFd(), path);
}

}  // namespace sim
