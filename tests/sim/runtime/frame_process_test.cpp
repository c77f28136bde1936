// The simulator program answering configuration frames over its port, with
// line speeds and fault modes, as a host sees it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "shared/posix/unique_fd.h"
#include "sim/model/flash_settings.h"
#include "sim/model/frame_layer.h"
#include "sim/model/reply_policy.h"
#include "tests/support/simulator_process.h"
#include "tests/support/temp_directory.h"

namespace {

using namespace std::chrono_literals;
using sim::Bytes;
using test_support::SimulatorProcess;

constexpr auto kTraceTimeout = 5s;
// How long a reply may take on a loaded machine.
constexpr std::chrono::seconds kReplyLimit{5};

SimulatorProcess start(std::vector<std::string> extra_args) {
  SimulatorProcess::Options options;
  options.extra_args = std::move(extra_args);
  return SimulatorProcess(options);
}

// Opens the port raw at `speed`, as a host would.
kit::posix::UniqueFd open_port(const std::string& path, speed_t speed) {
  kit::posix::UniqueFd port(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!port.is_valid()) {
    ADD_FAILURE() << "cannot open " << path << ": errno " << errno;
    return port;
  }
  termios settings{};
  EXPECT_EQ(::tcgetattr(port.get(), &settings), 0);
  ::cfmakeraw(&settings);
  EXPECT_EQ(::cfsetspeed(&settings, speed), 0);
  EXPECT_EQ(::tcsetattr(port.get(), TCSANOW, &settings), 0);
  return port;
}

void set_speed(int fd, speed_t speed) {
  termios settings{};
  ASSERT_EQ(::tcgetattr(fd, &settings), 0);
  ASSERT_EQ(::cfsetspeed(&settings, speed), 0);
  ASSERT_EQ(::tcsetattr(fd, TCSANOW, &settings), 0);
}

void send(int fd, const Bytes& bytes) {
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

// Reads until `count` bytes have arrived or nothing more comes for `quiet`.
Bytes receive(int fd, std::size_t count, std::chrono::milliseconds quiet) {
  Bytes bytes;
  std::array<std::uint8_t, 4096> buffer;
  while (bytes.size() < count) {
    pollfd watched{fd, POLLIN, 0};
    if (::poll(&watched, 1, static_cast<int>(quiet.count())) <= 0) break;
    const ssize_t got = ::read(fd, buffer.data(), std::min(buffer.size(), count - bytes.size()));
    if (got <= 0) break;
    bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + got);
  }
  return bytes;
}

Bytes block(std::uint8_t index) {
  Bytes data(33, 0x5A);
  data[0] = index;
  return data;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(SimFrameProcess, AnswersTheInformationRequestAndAcknowledgesGlyphs) {
  SimulatorProcess simulator = start({});
  const kit::posix::UniqueFd port = open_port(simulator.port_path(), B9600);
  send(port.get(), sim::make_frame(0x34, Bytes{0x07}));
  send(port.get(), sim::make_frame(0x44, {}));
  const Bytes record = receive(port.get(), 22, 2s);
  ASSERT_EQ(record.size(), 22u);
  EXPECT_EQ(std::string(record.begin() + 3, record.begin() + 15), "SIM-DSP 1.00");
  EXPECT_EQ(record[15], 0x07);
  EXPECT_EQ(record[17], 0x00) << "US";
  EXPECT_EQ(record[18], 0x00) << "9600";

  send(port.get(), sim::make_frame(0x41, block(0)));
  EXPECT_EQ(receive(port.get(), 1, 2s), Bytes{0x06});
  send(port.get(), sim::make_frame(0x42, block(20)));
  EXPECT_EQ(receive(port.get(), 1, 2s), Bytes{0x15});
  EXPECT_EQ(simulator.trace_lines(),
            (std::vector<std::string>{"frame 34 code=07", "frame 44", "frame 41 index=0",
                                      "frame 42 index=20 rejected"}));
  EXPECT_EQ(simulator.state().frames_ok, 3u);
  EXPECT_EQ(simulator.stop(), 0) << simulator.error_output();
}

TEST(SimFrameProcess, AfterASpeedChangeOnlyTheNewSpeedGetsThrough) {
  // The delay is the time the test has to switch back to 9600 once the
  // simulator has traced the request: long enough for a loaded machine.
  SimulatorProcess simulator = start({"--fault", "delay=1500"});
  const kit::posix::UniqueFd port = open_port(simulator.port_path(), B9600);
  send(port.get(), sim::make_frame(0x33, Bytes{0x04}));
  ASSERT_EQ(simulator.wait_for_trace_lines(1, kTraceTimeout).back(), "frame 33 code=04");
  EXPECT_EQ(simulator.state().line_speed, 115200u);

  // Still at 9600: the display hears noise and does not answer.
  send(port.get(), sim::make_frame(0x44, {}));
  EXPECT_EQ(simulator.wait_for_trace_lines(2, kTraceTimeout).back(), "garbage n=5");
  EXPECT_TRUE(receive(port.get(), 1, 500ms).empty());
  EXPECT_EQ(simulator.state().garbage_bytes, 5u);

  // At 115200 the request gets through. The reply is delayed: by the time it
  // goes out the host is back at 9600 and reads noise.
  set_speed(port.get(), B115200);
  send(port.get(), sim::make_frame(0x44, {}));
  ASSERT_EQ(simulator.wait_for_trace_lines(3, kTraceTimeout).back(), "frame 44");
  set_speed(port.get(), B9600);
  EXPECT_EQ(receive(port.get(), 22, 2s), Bytes(22, 0xFF));
  EXPECT_EQ(simulator.wait_for_trace_lines(4, kTraceTimeout).back(), "reply garbled n=22");

  set_speed(port.get(), B115200);
  send(port.get(), sim::make_frame(0x44, {}));
  const Bytes record = receive(port.get(), 22, 2s);
  ASSERT_EQ(record.size(), 22u);
  EXPECT_EQ(record[18], 0x04) << "the new baud code";
  EXPECT_EQ(simulator.stop(), 0) << simulator.error_output();
}

TEST(SimFrameProcess, WithoutTheSpeedCheckEverySpeedGetsThrough) {
  SimulatorProcess simulator = start({"--no-speed-check"});
  const kit::posix::UniqueFd port = open_port(simulator.port_path(), B57600);
  send(port.get(), {'o', 'k'});
  EXPECT_EQ(simulator.wait_for_trace_lines(2, kTraceTimeout),
            (std::vector<std::string>{"text 6f o", "text 6b k"}));
}

struct FaultCase {
  const char* fault;
  Bytes request;
  std::size_t expected_size;
  Bytes expected_tail;  // the last bytes of what arrives
};

TEST(SimFrameProcess, FaultModesShapeTheReplies) {
  const Bytes info = sim::make_frame(0x44, {});
  const Bytes glyphs = sim::make_frame(0x42, block(1));
  const Bytes record = sim::information_record(sim::FlashSettings{});
  const std::vector<FaultCase> cases = {
      {"nak-last", glyphs, 2, {0x06, 0x15}},
      {"nak-first", glyphs, 2, {0x15, 0x06}},
      {"no-ack", glyphs, 0, {}},
      {"silence", info, 0, {}},
      {"burst=9000", info, 9000, {0x00, 0x00}},
      {"split-info", info, 22, record},
  };
  for (const FaultCase& test : cases) {
    SCOPED_TRACE(test.fault);
    SimulatorProcess simulator = start({"--fault", test.fault});
    const kit::posix::UniqueFd port = open_port(simulator.port_path(), B9600);
    send(port.get(), test.request);
    const Bytes reply = receive(port.get(), test.expected_size, kReplyLimit);
    ASSERT_EQ(reply.size(), test.expected_size);
    EXPECT_TRUE(std::equal(test.expected_tail.rbegin(), test.expected_tail.rend(), reply.rbegin()));
    EXPECT_TRUE(receive(port.get(), 1, 300ms).empty()) << "nothing beyond the reply";
    EXPECT_TRUE(contains(simulator.trace_lines(), test.request[2] == 0x44 ? "frame 44" : "frame 42 index=1"));
  }
}

// The simulator holds the last byte back until 100 ms after it took the
// request, so no read that ends sooner after the request was sent can hold
// it; a read that ends later may hold any part, as a loaded machine may
// deliver both parts together.
TEST(SimFrameProcess, SplitInfoPausesAfterTwentyOneBytes) {
  SimulatorProcess simulator = start({"--fault", "split-info"});
  const kit::posix::UniqueFd port = open_port(simulator.port_path(), B9600);
  const auto sent = std::chrono::steady_clock::now();
  send(port.get(), sim::make_frame(0x44, {}));
  Bytes record;
  std::size_t read_by_pause_end = 0;
  std::array<std::uint8_t, 64> buffer;
  const auto deadline = sent + kReplyLimit;
  while (record.size() < 22 && std::chrono::steady_clock::now() < deadline) {
    pollfd watched{port.get(), POLLIN, 0};
    if (::poll(&watched, 1, 100) <= 0) continue;
    const ssize_t got = ::read(port.get(), buffer.data(), buffer.size());
    if (got <= 0) continue;
    record.insert(record.end(), buffer.begin(), buffer.begin() + got);
    if (std::chrono::steady_clock::now() - sent < sim::kSplitInfoPause) read_by_pause_end = record.size();
  }
  EXPECT_EQ(record, sim::information_record(sim::FlashSettings{}));
  EXPECT_LE(read_by_pause_end, sim::kSplitInfoFirstPart) << "the rest comes 100 ms later";
}

TEST(SimFrameProcess, FlashSurvivesARestartAndDotsShowTheScreen) {
  const test_support::TempDirectory directory("pole_display_sim_flash");
  const std::string flash = directory.file("flash");
  const std::string dots = directory.file("dots");
  {
    SimulatorProcess simulator = start({"--flash", flash, "--dots", dots});
    const kit::posix::UniqueFd port = open_port(simulator.port_path(), B9600);
    const std::string lines = "#                   " + std::string(20, ' ');
    send(port.get(), sim::make_frame(0x43, Bytes{'D', 'E'}));
    send(port.get(), sim::make_frame(0x32, Bytes(lines.begin(), lines.end())));
    send(port.get(), sim::make_frame(0x33, Bytes{0x01}));
    ASSERT_EQ(simulator.wait_for_trace_lines(3, kTraceTimeout).size(), 3u);
    EXPECT_EQ(simulator.stop(), 0);
  }
  EXPECT_NE(test_support::read_file(flash).find("language=DE\nbaud_code=1\n"), std::string::npos);
  EXPECT_EQ(test_support::read_file(dots).substr(0, 12), "..... ..... ") << "'#' starts with a dark row";
  EXPECT_EQ(test_support::read_file(dots).substr(120, 6), ".#.#. ");

  // The display starts at its flash's speed and sets the port to it.
  SimulatorProcess simulator = start({"--flash", flash});
  const kit::posix::UniqueFd port(
      ::open(simulator.port_path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  termios settings{};
  ASSERT_EQ(::tcgetattr(port.get(), &settings), 0);
  EXPECT_EQ(::cfgetospeed(&settings), static_cast<speed_t>(B19200));
  send(port.get(), sim::make_frame(0x44, {}));
  const Bytes record = receive(port.get(), 22, 2s);
  ASSERT_EQ(record.size(), 22u);
  EXPECT_EQ(record[17], 1) << "DE";
  EXPECT_EQ(record[18], 1) << "19200";
}

TEST(SimFrameProcess, RefusesADamagedFlashFile) {
  const test_support::TempDirectory directory("pole_display_sim_bad_flash");
  const std::string flash = directory.file("flash");
  { std::ofstream(flash) << "command_set=99\n"; }
  const test_support::RunResult result = test_support::run_simulator({"--quiet", "--flash", flash}, 5s);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.errors.find("is damaged: command_set='99'"), std::string::npos) << result.errors;
  EXPECT_EQ(test_support::read_file(flash), "command_set=99\n") << "left as it was";
}

TEST(SimFrameProcess, DropsAFrameLeftUnfinished) {
  SimulatorProcess simulator = start({});
  const kit::posix::UniqueFd port = open_port(simulator.port_path(), B9600);
  const auto sent = std::chrono::steady_clock::now();  // the simulator cannot have the bytes sooner
  send(port.get(), {0x02, 0x02, 0x34});
  EXPECT_EQ(simulator.wait_for_trace_lines(1, kTraceTimeout),
            (std::vector<std::string>{"frame dropped idle"}));
  EXPECT_GE(std::chrono::steady_clock::now() - sent, 400ms);
  send(port.get(), {'A'});
  EXPECT_EQ(simulator.wait_for_trace_lines(2, kTraceTimeout).back(), "text 41 A");
}

TEST(SimFrameProcess, DownloadModeMakesTheDisplayDeaf) {
  SimulatorProcess simulator = start({});
  const kit::posix::UniqueFd port = open_port(simulator.port_path(), B9600);
  send(port.get(), sim::make_frame(0x40, Bytes{0xAA, 0x55}));
  ASSERT_EQ(simulator.wait_for_trace_lines(1, kTraceTimeout).back(), "frame 40 download");
  send(port.get(), sim::make_frame(0x44, {}));
  EXPECT_EQ(simulator.wait_for_trace_lines(2, kTraceTimeout).back(), "download-mode bytes n=5");
  EXPECT_TRUE(receive(port.get(), 1, 300ms).empty());
  EXPECT_EQ(simulator.state().mode, sim::DisplayMode::download);
}

}  // namespace
