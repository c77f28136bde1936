// The POSIX serial-port steps both deliverables open and set their ports with, on a
// pseudo-terminal of the test's own.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <string>

#include "shared/posix/serial_port.h"
#include "shared/serial_write_limit.h"

namespace kit::posix {
namespace {

// A pseudo-terminal: the test holds the master, the port end is what the layers open.
class PseudoTerminal {
 public:
  PseudoTerminal() : master_(::posix_openpt(O_RDWR | O_NOCTTY)) {
    // grantpt, unlockpt: 0, or -1 with errno; ptsname: the port end's path, or null.
    if (!master_.is_valid() || ::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0) return;
    const char* name = ::ptsname(master_.get());  // NOLINT(concurrency-mt-unsafe): one thread
    if (name != nullptr) port_path_ = name;
  }
  [[nodiscard]] const std::string& port_path() const { return port_path_; }

 private:
  UniqueFd master_;
  std::string port_path_;
};

// One opener at a time, as a Windows port opened without sharing: the second finds it taken
// until the first lets go.
TEST(OpenSerialExclusive, ASecondOpenerFindsThePortTaken) {
  const PseudoTerminal pty;
  ASSERT_FALSE(pty.port_path().empty());
  {
    const UniqueFd first = open_serial_exclusive(pty.port_path());
    ASSERT_TRUE(first.is_valid());
    EXPECT_FALSE(open_serial_exclusive(pty.port_path()).is_valid());
  }
  EXPECT_TRUE(open_serial_exclusive(pty.port_path()).is_valid()) << "the lock went with the first descriptor";
  EXPECT_FALSE(open_serial_exclusive("/nonexistent/ttyS99").is_valid());
}

// Raw 8N1 on a real terminal: what the settings read back, with flow control as it was.
TEST(MakeRaw8N1, BytesPassUntouchedAndFlowControlStays) {
  const PseudoTerminal pty;
  const UniqueFd port = open_serial_exclusive(pty.port_path());
  ASSERT_TRUE(port.is_valid());
  for (const bool flow : {true, false}) {
    termios tio{};
    ASSERT_EQ(::tcgetattr(port.get(), &tio), 0);
    // Start from a cooked line with 7 data bits, even parity and two stop bits.
    tio.c_iflag |= ICRNL | ISTRIP | BRKINT;
    tio.c_oflag |= OPOST;
    tio.c_lflag |= ICANON | ECHO | ISIG;
    tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB | CSTOPB;
    if (flow) {
      tio.c_iflag |= IXON | IXOFF;
    } else {
      tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
    }
    make_raw_8n1(tio);
    ASSERT_EQ(::tcsetattr(port.get(), TCSANOW, &tio), 0);
    termios set{};
    ASSERT_EQ(::tcgetattr(port.get(), &set), 0);
    EXPECT_EQ(set.c_iflag & (ICRNL | ISTRIP | BRKINT | INLCR | IGNCR), 0u) << flow;
    EXPECT_EQ(set.c_oflag & OPOST, 0u) << flow;
    EXPECT_EQ(set.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u) << flow;
    EXPECT_EQ(set.c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << flow;
    EXPECT_EQ(set.c_cflag & (PARENB | CSTOPB), 0u) << flow;
    EXPECT_EQ(set.c_cc[VMIN], 0) << flow;
    EXPECT_EQ(set.c_cc[VTIME], 0) << flow;
    EXPECT_EQ((set.c_iflag & (IXON | IXOFF)) != 0, flow) << "flow control is the port's own";
  }
}

TEST(Deadlines, WriteLimitAndTheWaitLeftRoundUp) {
  const struct {
    std::size_t bytes;
    long long ms;
  } limits[] = {{0, 1000}, {1, 1010}, {4, 1040}, {64, 1640}, {8192, 82920}};
  for (const auto& c : limits) {
    EXPECT_EQ(kit::serial_write_limit(c.bytes), std::chrono::milliseconds(c.ms)) << c.bytes << " bytes";
  }

  const auto now = std::chrono::steady_clock::now();
  EXPECT_EQ(milliseconds_until(now - std::chrono::seconds(1)), 0) << "a deadline that passed";
  // A deadline 10.5 s ahead leaves more than 10 s: the poll waits 10001 ms at most, never less
  // than what is left. The bound allows for a slow start of the check.
  const int left = milliseconds_until(now + std::chrono::microseconds(10'000'500));
  EXPECT_GT(left, 9'000);
  EXPECT_LE(left, 10'001);
}

}  // namespace
}  // namespace kit::posix
