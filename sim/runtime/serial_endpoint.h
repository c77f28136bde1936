// The simulator's end of the serial line: a new pseudo-terminal, or a terminal
// device given on the command line, in raw mode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "shared/posix/unique_fd.h"

namespace sim {

class SerialEndpoint {
 public:
  // Opens a pseudo-terminal. The host opens port_path() (its port end, the
  // slave) and the simulator reads the master. The endpoint also keeps the
  // port end open itself: without that, the master reports hang-up (poll
  // POLLHUP, read EIO) whenever no host has the port open, and the port's
  // settings would fall back to defaults between hosts.
  static SerialEndpoint open_pseudo_terminal();

  // Opens a terminal device (a real serial port, or the port end of a
  // pseudo-terminal made by someone else).
  static SerialEndpoint open_device(const std::string& path);

  // The descriptor to poll and read; non-blocking.
  int fd() const { return read_end_.get(); }

  // The line speed in bits per second that the port end is set to. A
  // pseudo-terminal keeps one set of settings for both ends, so this is the
  // speed the host last chose. 0 for a speed that is not one of the display's
  // rates; nothing if the settings cannot be read.
  std::optional<std::uint32_t> line_speed() const;

  // Sets the port end's line speed, for hosts that never set one themselves.
  void set_line_speed(std::uint32_t bits_per_second);

  // The path a host opens to talk to the simulator.
  const std::string& port_path() const { return port_path_; }

 private:
  SerialEndpoint(kit::posix::UniqueFd read_end, kit::posix::UniqueFd held_port_end, std::string port_path)
      : read_end_(std::move(read_end)),
        held_port_end_(std::move(held_port_end)),
        port_path_(std::move(port_path)) {}

  kit::posix::UniqueFd read_end_;
  kit::posix::UniqueFd held_port_end_;  // pseudo-terminal only
  std::string port_path_;
};

}  // namespace sim
