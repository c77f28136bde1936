// The POSIX serial link against a pseudo-terminal of the test's own (receive
// side) and against the display simulator (open and write side).
#include "utility/posix/serial_link.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "tests/support/simulator_process.h"

namespace utility {
namespace {

using Clock = std::chrono::steady_clock;

// A pty pair; the link opens the slave path, the test writes into the master
// to play the display's side of the line.
class PtyPair {
 public:
  PtyPair() {
    master_.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master_.is_valid() || ::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0) return;
    std::array<char, 128> name{};
    if (::ptsname_r(master_.get(), name.data(), name.size()) == 0) slave_path_ = name.data();
  }
  bool Ready() const { return !slave_path_.empty(); }
  // The display's side goes away: the link's end sees a hang-up.
  void HangUp() { master_.reset(); }
  const std::string& SlavePath() const { return slave_path_; }

  // Writes all bytes, waiting for room up to `limit`; returns how many went.
  std::size_t Send(const std::vector<std::uint8_t>& bytes,
                   std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
    const auto deadline = Clock::now() + limit;
    std::size_t sent = 0;
    while (sent < bytes.size() && Clock::now() < deadline) {
      const ssize_t n = ::write(master_.get(), bytes.data() + sent, bytes.size() - sent);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        continue;
      }
      pollfd pfd{master_.get(), POLLOUT, 0};
      ::poll(&pfd, 1, 10);
    }
    return sent;
  }

  // Reads what the link's end wrote until `count` bytes came or `limit` passed.
  std::vector<std::uint8_t> Receive(std::size_t count,
                                    std::chrono::milliseconds limit = std::chrono::seconds(5)) const {
    const auto deadline = Clock::now() + limit;
    std::vector<std::uint8_t> bytes;
    std::array<std::uint8_t, 256> chunk{};
    while (bytes.size() < count && Clock::now() < deadline) {
      const ssize_t n = ::read(master_.get(), chunk.data(), chunk.size());
      if (n > 0) {
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
        continue;
      }
      pollfd pfd{master_.get(), POLLIN, 0};
      ::poll(&pfd, 1, 10);
    }
    return bytes;
  }

 private:
  kit::posix::UniqueFd master_;
  std::string slave_path_;
};

// Counts receive notifications; the callback runs on the watch thread.
class NotificationCounter {
 public:
  CSerialLink::ReceiveCallback Callback() {
    return [this] {
      const std::lock_guard lock(mutex_);
      ++count_;
      last_ = Clock::now();
      changed_.notify_all();
    };
  }
  int Count() {
    const std::lock_guard lock(mutex_);
    return count_;
  }
  // When the latest notification came.
  Clock::time_point LastAt() {
    const std::lock_guard lock(mutex_);
    return last_;
  }
  // Waits until at least `wanted` notifications came, up to `limit`.
  int WaitFor(int wanted, std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, limit, [&] { return count_ >= wanted; });
    return count_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
  Clock::time_point last_;
};

// Takes everything queued, as the dialog does.
std::vector<std::uint8_t> Drain(CSerialLink& link) {
  std::vector<std::uint8_t> bytes;
  link.ApplyPendingClear();
  std::uint8_t byte = 0;
  while (link.m_QueueRead.Get(byte)) bytes.push_back(byte);
  return bytes;
}

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + i / 256) & 0xFF);
  return bytes;
}

// Long enough for a burst to end (two 15 ms pauses) even under a sanitizer.
constexpr std::chrono::milliseconds kSettle{250};

// A link on the slave end of the test's own pty pair, counting its notifications.
class SerialLinkOnPty : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pty_.Ready()); }
  bool Open(std::int32_t baud) { return link_.OpenLink(pty_.SlavePath(), baud, 1); }

  PtyPair pty_;
  NotificationCounter notifications_;
  CSerialLink link_{notifications_.Callback()};  // last: stops before what its callback uses
};
using SerialLinkReceiveOnPty = SerialLinkOnPty;
using SerialLinkCloseOnPty = SerialLinkOnPty;

TEST(SerialLinkDevicePath, NamesMapUnderDevAndPathsStay) {
  struct Case {
    const char* device;
    const char* path;
  };
  const Case cases[] = {
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"ttyS3", "/dev/ttyS3"},
      {"/tmp/x/port", "/tmp/x/port"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CSerialLink::DevicePath(c.device), c.path) << c.device;
}

TEST(SerialLinkOpen, RefusedOpensLeaveNothingRunning) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ready());
  struct Case {
    std::string device;
    std::int32_t baud;
  };
  const Case cases[] = {
      {"/nonexistent/dir/tty", 9600},
      {"no_such_serial_device_here", 9600},
      {"", 9600},
      {"/dev/null", 9600},       // not a terminal: the line settings are refused
      {pty.SlavePath(), 12345},  // a rate termios cannot set
  };
  for (const auto& c : cases) {
    CSerialLink link;
    EXPECT_FALSE(link.OpenLink(c.device, c.baud, 1)) << c.device;
    EXPECT_FALSE(link.IsConnected()) << c.device;
    const std::uint8_t byte = 0x41;
    EXPECT_EQ(link.WriteBytes(&byte, 1), 0U) << c.device;
  }
  // A refused rate released the port: a valid open of the same pty works.
  CSerialLink link;
  EXPECT_TRUE(link.OpenLink(pty.SlavePath(), 9600, 1));
}

TEST(SerialLinkOpen, OpenCloseReopenOnTheSimulatorPort) {
  test_support::SimulatorProcess simulator;
  CSerialLink link;
  EXPECT_FALSE(link.IsConnected());
  ASSERT_TRUE(link.OpenLink(simulator.port_path(), 9600, 4));
  EXPECT_TRUE(link.IsConnected());
  EXPECT_EQ(link.PortName(), simulator.port_path());
  EXPECT_EQ(link.PortNumber(), 4);
  link.CloseLink();
  EXPECT_FALSE(link.IsConnected());
  link.CloseLink();  // harmless twice
  ASSERT_TRUE(link.OpenLink(simulator.port_path(), 115200, 5));
  EXPECT_TRUE(link.IsConnected());
  EXPECT_EQ(link.PortNumber(), 5);
  // Opening again while open closes the first use, then serves the port.
  ASSERT_TRUE(link.OpenLink(simulator.port_path(), 19200, 6));
  EXPECT_TRUE(link.IsConnected());
}

TEST(SerialLinkOpen, SecondOpenerIsRefusedUntilTheFirstCloses) {
  test_support::SimulatorProcess simulator;
  CSerialLink first;
  CSerialLink second;
  ASSERT_TRUE(first.OpenLink(simulator.port_path(), 9600, 1));
  EXPECT_FALSE(second.OpenLink(simulator.port_path(), 9600, 1));
  EXPECT_FALSE(second.IsConnected());
  EXPECT_TRUE(first.IsConnected());
  first.CloseLink();
  EXPECT_TRUE(second.OpenLink(simulator.port_path(), 9600, 1));
}

TEST(SerialLinkWrite, BytesReachTheSimulator) {
  test_support::SimulatorProcess simulator;
  CSerialLink link;
  ASSERT_TRUE(link.OpenLink(simulator.port_path(), 9600, 1));
  const std::uint8_t text[] = {'A', 'B', 'z'};
  EXPECT_EQ(link.WriteBytes(text, 3), 3U);
  const auto lines = simulator.wait_for_trace_lines(3, std::chrono::seconds(5));
  ASSERT_GE(lines.size(), 3U);
  EXPECT_EQ(lines[0], "text 41 A");
  EXPECT_EQ(lines[1], "text 42 B");
  EXPECT_EQ(lines[2], "text 7a z");
}

TEST(SerialLinkWrite, NothingIsWrittenWhenClosedOrEmpty) {
  test_support::SimulatorProcess simulator;
  CSerialLink link;
  const std::uint8_t byte = 'A';
  EXPECT_EQ(link.WriteBytes(&byte, 1), 0U);
  ASSERT_TRUE(link.OpenLink(simulator.port_path(), 9600, 1));
  EXPECT_EQ(link.WriteBytes(&byte, 0), 0U);
  EXPECT_EQ(link.WriteBytes(nullptr, 1), 0U);
  link.CloseLink();
  EXPECT_EQ(link.WriteBytes(&byte, 1), 0U);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(simulator.trace_lines().empty());
}

TEST_F(SerialLinkReceiveOnPty, OneByteGivesOneNotification) {
  ASSERT_TRUE(Open(9600));
  ASSERT_EQ(pty_.Send({0x5A}), 1U);
  EXPECT_EQ(notifications_.WaitFor(1), 1);
  std::this_thread::sleep_for(kSettle);
  EXPECT_EQ(notifications_.Count(), 1);
  EXPECT_EQ(link_.m_QueueRead.Count(), 1);
  EXPECT_EQ(Drain(link_), std::vector<std::uint8_t>{0x5A});
}

TEST(SerialLinkReceive, CallbackGivenAtOpenReplacesTheFirst) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ready());
  NotificationCounter atConstruction;
  NotificationCounter atOpen;
  CSerialLink link(atConstruction.Callback());
  ASSERT_TRUE(link.OpenLink(pty.SlavePath(), 9600, 1, atOpen.Callback()));
  ASSERT_EQ(pty.Send({0x01}), 1U);
  EXPECT_EQ(atOpen.WaitFor(1), 1);
  EXPECT_EQ(atConstruction.Count(), 0);
}

// Five pieces 2 ms apart, each well within the 15 ms pause after the read
// before it, make one burst and one notification. A loaded machine can
// stretch the test's gaps, or the pty's hand-over of the bytes, past the
// pause and so split a burst; a link that notifies per read, or does not
// pause, splits every round whose pieces are spread. So the test sends
// rounds until one ends in a single notification, and every round must bring
// all its bytes in order. That notification comes two pauses after the read
// that took the last piece at the earliest; load only makes it later.
TEST_F(SerialLinkReceiveOnPty, BytesWithinABurstGiveOneNotification) {
  constexpr int kRounds = 20;
  ASSERT_TRUE(Open(9600));
  int fewest = INT_MAX;
  for (int round = 0; round < kRounds && fewest > 1; ++round) {
    const int before = notifications_.Count();
    Clock::time_point lastPiece;
    for (std::uint8_t i = 0; i < 5; ++i) {
      lastPiece = Clock::now();
      ASSERT_EQ(pty_.Send({i, static_cast<std::uint8_t>(i + 0x10)}), 2U);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_GE(notifications_.WaitFor(before + 1), before + 1) << "round " << round;
    std::this_thread::sleep_for(kSettle);
    const std::vector<std::uint8_t> expected = {0, 0x10, 1, 0x11, 2, 0x12, 3, 0x13, 4, 0x14};
    EXPECT_EQ(Drain(link_), expected) << "round " << round;
    const int notified = notifications_.Count() - before;
    if (notified == 1) {
      EXPECT_GE(notifications_.LastAt() - lastPiece, std::chrono::milliseconds(30))
          << "round " << round << ": the burst did not end with a pause after each of its last two reads";
    }
    fewest = std::min(fewest, notified);
  }
  EXPECT_EQ(fewest, 1) << "no round of " << kRounds << " ended in a single notification";
}

TEST_F(SerialLinkReceiveOnPty, BurstsFarApartGiveOneNotificationEach) {
  ASSERT_TRUE(Open(9600));
  ASSERT_EQ(pty_.Send({0x31}), 1U);
  EXPECT_EQ(notifications_.WaitFor(1), 1);
  std::this_thread::sleep_for(kSettle);
  ASSERT_EQ(pty_.Send({0x32}), 1U);
  EXPECT_EQ(notifications_.WaitFor(2), 2);
  std::this_thread::sleep_for(kSettle);
  EXPECT_EQ(notifications_.Count(), 2);
  EXPECT_EQ(Drain(link_), (std::vector<std::uint8_t>{0x31, 0x32}));
}

TEST_F(SerialLinkReceiveOnPty, ManyBytesArriveInOrderAndComplete) {
  ASSERT_TRUE(Open(115200));
  const auto sent = Pattern(6000);  // more than one read chunk, less than the ring
  ASSERT_EQ(pty_.Send(sent), sent.size());
  std::vector<std::uint8_t> received;
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (received.size() < sent.size() && Clock::now() < deadline) {
    const auto more = Drain(link_);
    received.insert(received.end(), more.begin(), more.end());
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(received, sent);
  EXPECT_GE(notifications_.WaitFor(1), 1);
  EXPECT_TRUE(link_.IsConnected());
}

TEST_F(SerialLinkReceiveOnPty, OverflowDropsTheRingAndTakesThePortOutOfService) {
  ASSERT_TRUE(Open(115200));
  // Nobody drains: more than the ring holds must overflow it.
  pty_.Send(Pattern(9000), std::chrono::seconds(3));
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (link_.IsConnected() && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(link_.IsConnected());
  EXPECT_GE(notifications_.WaitFor(1), 1);
  const std::uint8_t byte = 'A';
  EXPECT_EQ(link_.WriteBytes(&byte, 1), 0U);
  EXPECT_GT(link_.m_QueueRead.Count(), 0);  // the consumer has not honoured the clear yet
  EXPECT_TRUE(link_.ApplyPendingClear());
  EXPECT_EQ(link_.m_QueueRead.Count(), 0);
  EXPECT_FALSE(link_.ApplyPendingClear());
  link_.CloseLink();
  // The port can be served again, from an empty ring.
  ASSERT_TRUE(link_.OpenLink(pty_.SlavePath(), 115200, 1));
  ASSERT_EQ(pty_.Send({0x77}), 1U);
  EXPECT_GE(notifications_.WaitFor(2), 2);
  std::this_thread::sleep_for(kSettle);
  EXPECT_EQ(Drain(link_), std::vector<std::uint8_t>{0x77});
}

TEST_F(SerialLinkReceiveOnPty, HangUpIsReportedOnceAndEndsTheWatch) {
  ASSERT_TRUE(Open(9600));
  ASSERT_EQ(pty_.Send({0x06}), 1U);
  EXPECT_GE(notifications_.WaitFor(1), 1);
  pty_.HangUp();
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (link_.IsConnected() && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(link_.IsConnected());
  EXPECT_TRUE(link_.TakeLineLost());
  EXPECT_FALSE(link_.TakeLineLost()) << "reported once";
  const int announced = notifications_.WaitFor(2);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  // A watch thread that went on polling the dead line would announce it some 66 times a second.
  EXPECT_LE(notifications_.Count(), announced + 1);
  const std::uint8_t byte = 0x40;
  EXPECT_EQ(link_.WriteBytes(&byte, 1), 0U);
  EXPECT_EQ(Drain(link_), std::vector<std::uint8_t>{0x06}) << "bytes taken before the hang-up stay";
  link_.CloseLink();
  EXPECT_FALSE(link_.TakeLineLost());
}

TEST_F(SerialLinkCloseOnPty, CloseWhileBytesArriveJoinsPromptly) {
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(link_.OpenLink(pty_.SlavePath(), 115200, 1));
    std::atomic<bool> stop{false};
    std::thread feeder([&] {
      const std::vector<std::uint8_t> piece(64, 0x55);
      while (!stop.load()) {
        pty_.Send(piece, std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const auto started = Clock::now();
    link_.CloseLink();
    const auto took = Clock::now() - started;
    stop.store(true);
    feeder.join();
    EXPECT_LT(took, std::chrono::seconds(1)) << "round " << round;
    EXPECT_FALSE(link_.IsConnected());
    Drain(link_);
  }
}

TEST_F(SerialLinkCloseOnPty, BytesWrittenJustBeforeCloseArriveWhole) {
  // The far end reads only after the close, as a busy simulator may: what
  // the pty still holds for it must survive the release of the port. The
  // close follows the write at once (no drain), when the kernel is most
  // likely still moving the bytes across; a loss shows in most runs of 50.
  const std::vector<std::uint8_t> frame = Pattern(48);
  for (int round = 0; round < 50; ++round) {
    ASSERT_TRUE(Open(115200));
    ASSERT_EQ(link_.WriteBytes(frame.data(), static_cast<std::uint32_t>(frame.size())), frame.size());
    link_.CloseLink();
    ASSERT_EQ(pty_.Receive(frame.size()), frame) << "round " << round;
  }
}

TEST(SerialLinkClose, DestructorStopsARunningLink) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ready());
  NotificationCounter notifications;
  {
    CSerialLink link(notifications.Callback());
    ASSERT_TRUE(link.OpenLink(pty.SlavePath(), 9600, 1));
    ASSERT_EQ(pty.Send({1, 2, 3}), 3U);
    EXPECT_EQ(notifications.WaitFor(1), 1);
  }
  // The port was released: another link can have it.
  CSerialLink again;
  EXPECT_TRUE(again.OpenLink(pty.SlavePath(), 9600, 1));
}

}  // namespace
}  // namespace utility
