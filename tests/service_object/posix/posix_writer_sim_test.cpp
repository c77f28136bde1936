// The POSIX serial writer and the whole service object against the display simulator over a
// pseudo-terminal: what the writer sends is what the display receives, byte for byte.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>

#include "service_object/posix/serial_writer.h"
#include "shared/serial_write_limit.h"
#include "tests/fixtures/service_fakes.h"
#include "tests/support/simulator_process.h"
#include "tests/support/temp_directory.h"

namespace varnel::testing {
namespace {

using namespace std::chrono_literals;
using test_support::SimulatorProcess;

class WriterOnSimulator : public ::testing::Test {
 protected:
  PosixSerialWriter::PortMap ports() const { return {{u"COM7", sim_.port_path()}}; }
  SimulatorProcess sim_;
};

std::vector<std::string> text_lines(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::string> lines;
  for (const auto b : bytes) {
    char line[16];
    std::snprintf(line, sizeof line, "text %02x %c", b, (b >= 0x20 && b <= 0x7E) ? b : '.');
    lines.emplace_back(line);
  }
  return lines;
}

TEST_F(WriterOnSimulator, LineIs8N1AtTheRateWithFlowControlInherited) {
  for (const std::int32_t rate : {9600, 19200, 115200}) {
    // The port had odd parity, two stop bits, 7 bits and XON/XOFF before: the open replaces
    // the first three and keeps the flow control.
    {
      const int fd = ::open(sim_.port_path().c_str(), O_RDWR | O_NOCTTY);
      ASSERT_GE(fd, 0);
      termios tio{};
      ASSERT_EQ(::tcgetattr(fd, &tio), 0);
      tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB | PARODD | CSTOPB;
      tio.c_iflag |= IXON;
      ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);
      ::close(fd);
    }
    PosixSerialWriter writer(ports());
    ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, rate));
    termios tio{};
    ASSERT_EQ(::tcgetattr(writer.native_handle(), &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8)) << rate;
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB), 0u) << rate;
    EXPECT_NE(tio.c_iflag & IXON, 0u) << "flow control is inherited";
    EXPECT_EQ(tio.c_oflag & OPOST, 0u) << "bytes must pass unchanged";
    EXPECT_EQ(::cfgetospeed(&tio), rate == 9600 ? B9600 : rate == 19200 ? B19200 : B115200);
    EXPECT_EQ(writer.port_name(), u"COM7");
    EXPECT_EQ(writer.baud_rate(), rate);
  }
}

TEST_F(WriterOnSimulator, EveryCharacterByteArrivesIntact) {
  PosixSerialWriter writer(ports());
  ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 9600));
  std::vector<std::uint8_t> all;
  for (int b = 0; b < 256; ++b) {
    if (b != 0x0C && b != 0x1F) all.push_back(static_cast<std::uint8_t>(b));  // the two command bytes
  }
  for (std::size_t at = 0; at < all.size(); at += 64) {
    const auto n = std::min<std::size_t>(64, all.size() - at);
    ASSERT_TRUE(writer.write(std::span(all).subspan(at, n)));
  }
  EXPECT_EQ(sim_.wait_for_trace_lines(all.size(), 5s), text_lines(all));
}

TEST_F(WriterOnSimulator, WriteAnswersFalseWithoutAnOpenPortOrBytes) {
  PosixSerialWriter writer(ports());
  const std::uint8_t byte = 0x41;
  EXPECT_FALSE(writer.write({&byte, 1})) << "never opened";
  ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 9600));
  EXPECT_FALSE(writer.write({})) << "nothing to write";
  writer.close();
  EXPECT_FALSE(writer.is_open());
  EXPECT_FALSE(writer.write({&byte, 1})) << "after close";
  ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 9600)) << "reopens";
  EXPECT_TRUE(writer.write({&byte, 1}));
  EXPECT_EQ(sim_.wait_for_trace_lines(1, 5s), std::vector<std::string>{"text 41 A"});
}

TEST_F(WriterOnSimulator, PortIsExclusive) {
  PosixSerialWriter first(ports());
  PosixSerialWriter second(ports());
  ASSERT_TRUE(first.open(u"COM7", ParitySelector::kNone, 9600));
  EXPECT_FALSE(second.open(u"COM7", ParitySelector::kNone, 9600));
  first.close();
  EXPECT_TRUE(second.open(u"COM7", ParitySelector::kNone, 9600));
}

// TIOCEXCL outlives the descriptor: a writer that left it set would lock every later open by
// a user without privileges out of the port.
TEST_F(WriterOnSimulator, ClosingGivesUpExclusiveUse) {
  PosixSerialWriter writer(ports());
  ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 9600));
  writer.close();
  const int fd = ::open(sim_.port_path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  int exclusive = -1;
  ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  ::close(fd);
}

// The line pulled out mid-session: the next write says the port is lost, opening fails while
// the adapter is out, and succeeds on the new port once it is back.
TEST_F(WriterOnSimulator, UnpluggedLineIsLostUntilPluggedBackIn) {
  PosixSerialWriter writer(ports());
  ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 9600));
  const std::uint8_t byte = 'A';
  ASSERT_EQ(writer.write_within({&byte, 1}, std::nullopt), WriteResult::kWritten);
  ASSERT_EQ(sim_.wait_for_trace_lines(1, 5s).size(), 1u);
  sim_.signal(SIGUSR1);
  ASSERT_EQ(sim_.wait_for_trace_lines(2, 5s).back(), "unplugged");
  EXPECT_EQ(writer.write_within({&byte, 1}, std::nullopt), WriteResult::kPortLost);
  writer.close();
  EXPECT_FALSE(writer.open(u"COM7", ParitySelector::kNone, 9600));
  sim_.signal(SIGUSR2);
  ASSERT_EQ(sim_.wait_for_trace_lines(3, 5s).size(), 3u);
  ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 9600));
  EXPECT_EQ(writer.write_within({&byte, 1}, std::nullopt), WriteResult::kWritten);
  EXPECT_EQ(sim_.wait_for_trace_lines(4, 5s).back(), "text 41 A");
}

// A display that stops reading: once the line is full a write times out, and a write given a
// short limit gives up after it rather than after the whole write time-out.
TEST_F(WriterOnSimulator, StalledLineTimesOutAndAShortLimitIsKept) {
  PosixSerialWriter writer(ports());
  ASSERT_TRUE(writer.open(u"COM7", ParitySelector::kNone, 115200));
  sim_.signal(SIGSTOP);
  struct ResumeOnExit {
    SimulatorProcess& sim;
    ~ResumeOnExit() { sim.signal(SIGCONT); }
  } resume{sim_};
  const std::vector<std::uint8_t> block(64, 'x');
  constexpr std::chrono::milliseconds kLimit(100);
  WriteResult result = WriteResult::kWritten;
  for (int i = 0; i < 4096 && result == WriteResult::kWritten; ++i)
    result = writer.write_within(block, kLimit);
  EXPECT_EQ(result, WriteResult::kTimedOut) << "256 KiB went into a line nobody reads";

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(writer.write_within(block, kLimit), WriteResult::kTimedOut);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GE(elapsed, kLimit / 2) << "a stalled write waits for its limit, not less";
  EXPECT_LT(elapsed, kit::serial_write_limit(block.size())) << "the limit was not kept";
}

TEST(WriterWithoutPort, AFileIsNoPort) {
  const test_support::TempDirectory folder("writer-file");
  const std::string path = folder.file("not-a-port");
  { std::ofstream(path) << "keep"; }
  PosixSerialWriter writer({{u"COM5", path}});
  EXPECT_FALSE(writer.open(u"COM5", ParitySelector::kNone, 9600));
  EXPECT_FALSE(writer.is_open());
  EXPECT_EQ(test_support::read_file(path), "keep");
}

TEST(WriterWithoutPort, AbsentPortFailsToOpen) {
  PosixSerialWriter writer({{u"COM9", "/nonexistent/port"}});
  EXPECT_FALSE(writer.open(u"COM9", ParitySelector::kNone, 9600));
  EXPECT_FALSE(writer.is_open());
}

// The service object, configured as an installation would configure it, drives the simulator.
TEST_F(WriterOnSimulator, ServiceObjectShowsTextOnTheDisplay) {
  FakeWorld world;  // registry: COM3 at 9600; the port map sends COM3 to the simulator
  PosixSerialWriter writer({{u"COM3", sim_.port_path()}});
  ServiceModule module(ServicePlatform{writer, world.registry, world.files, world.messages, world.process});
  ID_TARVO_VARNEL so(module);

  ASSERT_EQ(so.OpenService(u"LineDisplay", u"PoleDisplay"), 0);
  ASSERT_EQ(so.ClaimDevice(1000), 0);
  so.SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
  ASSERT_EQ(so.GetPropertyNumber(opos::PIDX_ResultCode), 0) << "enable failed";
  ASSERT_TRUE(so.enabled());

  so.ClearText();
  so.DisplayTextAt(0, 2, u"Hello, world", 0);
  so.DisplayTextAt(1, 0, u"Total     12.50", 0);
  so.SetPropertyNumber(opos::PIDXDisp_BlinkRate, 500);
  so.SetPropertyNumber(opos::PIDXDisp_CursorType, 2);
  so.SetPropertyNumber(opos::PIDXDisp_InterCharacterWait, 250);
  so.ScrollText(opos::DISP_ST_LEFT, 0);

  const auto lines = sim_.wait_for_trace_lines(1 + 1 + 12 + 1 + 15 + 4, 5s);
  ASSERT_EQ(lines.size(), 34u);
  EXPECT_EQ(lines[0], "clear");
  EXPECT_EQ(lines[1], "cursor col=2 row=1");
  EXPECT_EQ(lines[14], "cursor col=0 row=2");
  EXPECT_EQ(lines[30], "blink n=10");
  EXPECT_EQ(lines[31], "cursor_type v=2");
  EXPECT_EQ(lines[32], "inter_character_wait n=5");
  EXPECT_EQ(lines[33], "scroll dir=3 units=1");

  const sim::ObservableState state = sim_.state();
  EXPECT_EQ(sim::row_text(state.rows[0]), " Hello, world       ") << "scrolled left by one";
  EXPECT_EQ(sim::row_text(state.rows[1]), "otal     12.50      ");
  EXPECT_EQ(state.blink, 10);
  EXPECT_EQ(state.cursor_type, 2);
  EXPECT_EQ(state.inter_character_wait, 5);

  EXPECT_EQ(so.ReleaseDevice(), 0);
  EXPECT_FALSE(writer.is_open());
  EXPECT_EQ(so.CloseService(), 0);
  EXPECT_TRUE(world.messages.shown.empty());
}

// The display's adapter pulled out and put back while the device is enabled: the call after
// the pull reports no hardware, the first call after the replug shows its text again.
TEST_F(WriterOnSimulator, ServiceObjectRecoversFromAReplugWithoutANewEnable) {
  FakeWorld world;
  PosixSerialWriter writer({{u"COM3", sim_.port_path()}});
  ServiceModule module(ServicePlatform{writer, world.registry, world.files, world.messages, world.process});
  ID_TARVO_VARNEL so(module);
  so.OpenService(u"LineDisplay", u"PoleDisplay");
  so.ClaimDevice(1000);
  so.SetPropertyNumber(opos::PIDX_DeviceEnabled, 1);
  ASSERT_TRUE(so.enabled());

  sim_.signal(SIGUSR1);
  ASSERT_EQ(sim_.wait_for_trace_lines(1, 5s), std::vector<std::string>{"unplugged"});
  EXPECT_EQ(so.DisplayText(u"A", 0), opos::OPOS_E_NOHARDWARE);
  EXPECT_EQ(so.DisplayText(u"B", 0), opos::OPOS_E_NOHARDWARE) << "still out";
  sim_.signal(SIGUSR2);
  ASSERT_EQ(sim_.wait_for_trace_lines(2, 5s).size(), 2u);
  EXPECT_EQ(so.DisplayText(u"C", 0), opos::OPOS_SUCCESS);
  EXPECT_EQ(so.GetPropertyNumber(opos::PIDX_ResultCode), opos::OPOS_SUCCESS);
  EXPECT_EQ(sim_.wait_for_trace_lines(3, 5s).back(), "text 43 C");
  EXPECT_TRUE(so.enabled());
  so.CloseService();
}

}  // namespace
}  // namespace varnel::testing
