#pragma once
// Shared by the deliverables' POSIX layers: header only, nothing to link.
// The termios speed constant for a line speed, the one table both serial layers need.

#include <termios.h>

#include <cstdint>

namespace kit::posix {

// The constant for `bits_per_second`, or B0 when termios has none for that rate.
inline speed_t termios_speed(std::int32_t bits_per_second) {
  switch (bits_per_second) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
  }
}

}  // namespace kit::posix
