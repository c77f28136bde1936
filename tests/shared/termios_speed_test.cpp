// The termios speed table: every line speed the serial layers offer reaches the terminal as
// itself, and any other rate gives B0, which the callers refuse rather than open the port at.

#include "shared/posix/termios_speed.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <cstdint>
#include <set>

namespace kit::posix {
namespace {

TEST(TermiosSpeedTest, EachOfferedRateIsItsOwnSpeedThatTermiosTakes) {
  const std::int32_t offered[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
  std::set<speed_t> seen;
  for (const std::int32_t rate : offered) {
    const speed_t speed = termios_speed(rate);
    EXPECT_NE(speed, B0) << rate;
    EXPECT_TRUE(seen.insert(speed).second) << rate << " shares its constant with another rate";
    termios settings{};
    ASSERT_EQ(cfsetspeed(&settings, speed), 0) << rate;
    EXPECT_EQ(cfgetospeed(&settings), speed) << rate;
  }
  // Anchors at both ends of the table and at the display's own rate.
  EXPECT_EQ(termios_speed(1200), static_cast<speed_t>(B1200));
  EXPECT_EQ(termios_speed(9600), static_cast<speed_t>(B9600));
  EXPECT_EQ(termios_speed(230400), static_cast<speed_t>(B230400));
}

TEST(TermiosSpeedTest, AnyOtherRateIsRefused) {
  for (const std::int32_t rate : {0, -9600, 300, 9601, 460800, INT32_MAX}) {
    EXPECT_EQ(termios_speed(rate), static_cast<speed_t>(B0)) << rate;
  }
}

}  // namespace
}  // namespace kit::posix
