// The simulator program, run as a separate process and talked to over its port.
#include "tests/support/simulator_process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "shared/posix/unique_fd.h"
#include "sim/model/display_firmware.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using test_support::SimulatorProcess;

constexpr auto kTraceTimeout = 5s;

// Opens the port as a host would.
kit::posix::UniqueFd open_port(const std::string& path, bool set_raw) {
  kit::posix::UniqueFd port(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!port.is_valid()) ADD_FAILURE() << "cannot open " << path << ": errno " << errno;
  if (port.is_valid() && set_raw) {
    termios settings{};
    EXPECT_EQ(::tcgetattr(port.get(), &settings), 0);
    ::cfmakeraw(&settings);
    EXPECT_EQ(::tcsetattr(port.get(), TCSANOW, &settings), 0);
  }
  return port;
}

void send(int fd, const Bytes& bytes) {
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

bool path_exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

TEST(SimProcess, ShowsTextSentToItsPort) {
  SimulatorProcess simulator;
  EXPECT_EQ(simulator.tty_path().rfind("/dev/pts/", 0), 0u) << simulator.tty_path();
  EXPECT_EQ(simulator.state(), sim::ObservableState{}) << "the state file exists from the start";
  EXPECT_TRUE(simulator.trace_lines().empty());

  const kit::posix::UniqueFd port = open_port(simulator.port_path(), true);
  send(port.get(), {0x0C, 0x1F, 0x24, 0x00, 0x01, 'H', 'E', 'L', 'L', 'O'});

  const std::vector<std::string> expected = {"clear",     "cursor col=0 row=1", "text 48 H", "text 45 E",
                                             "text 4c L", "text 4c L",          "text 4f O"};
  EXPECT_EQ(simulator.wait_for_trace_lines(expected.size(), kTraceTimeout), expected);
  const sim::ObservableState state = simulator.state();
  EXPECT_EQ(sim::row_text(state.rows[0]), "HELLO               ");
  EXPECT_EQ(state.cursor_row, 0u);
  EXPECT_EQ(state.cursor_col, 5u);
  EXPECT_EQ(state.bytes_received, 10u);
  EXPECT_EQ(simulator.stop(), 0) << simulator.error_output();
}

TEST(SimProcess, KeepsASequenceSplitAcrossWrites) {
  SimulatorProcess simulator;
  const kit::posix::UniqueFd port = open_port(simulator.port_path(), true);
  send(port.get(), {0x1F, 0x24});
  std::this_thread::sleep_for(50ms);  // lets the simulator read the first half alone
  send(port.get(), {0x05, 0x02, 'X'});
  EXPECT_EQ(simulator.wait_for_trace_lines(2, kTraceTimeout),
            (std::vector<std::string>{"cursor col=5 row=2", "text 58 X"}));
  EXPECT_EQ(sim::row_text(simulator.state().rows[1]), "     X              ");
}

// The simulator puts its port in raw mode itself, so a host that leaves the
// settings alone still gets all 256 codes through unchanged: no CR/LF
// translation, no XON/XOFF, no signal, erase or end-of-file characters.
TEST(SimProcess, PortIsRawAndPassesEveryByte) {
  SimulatorProcess simulator;
  const kit::posix::UniqueFd port = open_port(simulator.port_path(), false);
  termios settings{};
  ASSERT_EQ(::tcgetattr(port.get(), &settings), 0);
  EXPECT_EQ(settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(settings.c_iflag & (ICRNL | INLCR | IGNCR | IXON | ISTRIP), 0u);
  EXPECT_EQ(settings.c_oflag & OPOST, 0u);
  EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));

  Bytes every_code(256);
  for (std::size_t code = 0; code < every_code.size(); ++code)
    every_code[code] = static_cast<std::uint8_t>(code);
  send(port.get(), every_code);

  sim::DisplayFirmware reference;
  reference.receive(every_code);
  const sim::TraceLines expected = reference.take_trace();
  EXPECT_EQ(simulator.wait_for_trace_lines(expected.size(), kTraceTimeout), expected);
  EXPECT_EQ(simulator.state(), reference.state());
  EXPECT_EQ(simulator.stop(), 0) << simulator.error_output();
}

// An international glyph block frame, as the host sends it.
Bytes glyph_block(std::uint8_t index) {
  Bytes frame = {0x02, 0x22, 0x41, index};
  frame.resize(frame.size() + 32, 0x00);
  frame.push_back(0x03);
  std::uint8_t bcc = 0;
  for (std::size_t i = 1; i < frame.size(); ++i) bcc ^= frame[i];
  frame.push_back(bcc);
  return frame;
}

// Reads what the port brings within `limit`; stops early at a hang-up or
// once `wanted` bytes came. `at_wanted` is when the read that completed them
// ended.
struct Heard {
  Bytes bytes;
  bool hung_up = false;
  std::chrono::steady_clock::time_point at_wanted{};
};
Heard listen(int fd, std::chrono::milliseconds limit, std::size_t wanted = SIZE_MAX) {
  Heard heard;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (heard.bytes.size() < wanted && std::chrono::steady_clock::now() < deadline) {
    pollfd watched{fd, POLLIN, 0};
    if (::poll(&watched, 1, 20) <= 0) continue;
    if ((watched.revents & (POLLHUP | POLLERR)) != 0) {
      heard.hung_up = true;
      return heard;
    }
    std::array<std::uint8_t, 64> buffer{};
    const ssize_t count = ::read(fd, buffer.data(), buffer.size());
    if (count > 0) heard.bytes.insert(heard.bytes.end(), buffer.begin(), buffer.begin() + count);
    if (heard.bytes.size() >= wanted) heard.at_wanted = std::chrono::steady_clock::now();
  }
  return heard;
}

TEST(SimProcess, DropsTheLineAtTheBlockAfterItsLimit) {
  SimulatorProcess::Options options;
  options.extra_args = {"--fault", "hangup-after=1"};
  SimulatorProcess simulator(options);
  const kit::posix::UniqueFd port = open_port(simulator.port_path(), true);
  send(port.get(), glyph_block(0));
  EXPECT_EQ(listen(port.get(), 5s, 1).bytes, Bytes{0x06});
  send(port.get(), glyph_block(1));
  const Heard heard = listen(port.get(), 5s);
  EXPECT_TRUE(heard.hung_up);
  EXPECT_TRUE(heard.bytes.empty());
  const std::vector<std::string> trace = simulator.wait_for_trace_lines(3, kTraceTimeout);
  ASSERT_EQ(trace.size(), 3u);
  EXPECT_EQ(trace.back(), "line dropped");
  EXPECT_TRUE(simulator.running()) << "a dropped line does not end the simulator";
  EXPECT_EQ(simulator.stop(), 0) << simulator.error_output();
}

TEST(SimProcess, ChattersWithNaksOnceABlockGoesUnacknowledged) {
  SimulatorProcess::Options options;
  options.extra_args = {"--fault", "chatter=20,no-ack-after=1"};
  SimulatorProcess simulator(options);
  const kit::posix::UniqueFd port = open_port(simulator.port_path(), true);
  send(port.get(), glyph_block(0));
  EXPECT_EQ(listen(port.get(), 5s, 1).bytes, Bytes{0x06}) << "the first block is acknowledged";
  EXPECT_TRUE(listen(port.get(), 200ms).bytes.empty()) << "quietly";
  const auto sent = std::chrono::steady_clock::now();
  send(port.get(), glyph_block(1));
  const Heard heard = listen(port.get(), 5s, 5);
  EXPECT_FALSE(heard.hung_up);
  ASSERT_GE(heard.bytes.size(), 5u) << "the NAKs go on";
  // The simulator spaces its NAKs 20 ms apart at least; a loaded machine only stretches that.
  EXPECT_GE(heard.at_wanted - sent, 4 * 20ms) << "five NAKs came sooner than every 20 ms";
  EXPECT_EQ(std::count(heard.bytes.begin(), heard.bytes.end(), 0x15), static_cast<long>(heard.bytes.size()));
  EXPECT_EQ(simulator.stop(), 0) << simulator.error_output();
}

// The capture holds exactly what the host wrote, however the line cut it into reads: text,
// commands, a frame and its reply, and bytes no layer takes.
TEST(SimProcess, CapturesEveryByteRawAndInOrder) {
  const test_support::TempDirectory directory("kit-capture");  // outlives the simulator below
  const std::string capture = directory.file("capture");
  SimulatorProcess::Options options;
  options.extra_args = {"--capture", capture};
  SimulatorProcess simulator(options);
  const kit::posix::UniqueFd port = open_port(simulator.port_path(), true);

  Bytes sent;
  const Bytes pieces[] = {
      {0x0C, 'A', 0x1F}, {0x24, 0x13, 0x02}, {0x02, 0x01, 0x44, 0x03, 0x46}, {0x1F, 0x99, 0x00, 0xFF}};
  for (const Bytes& piece : pieces) {
    send(port.get(), piece);
    sent.insert(sent.end(), piece.begin(), piece.end());
  }
  sim::DisplayFirmware reference;
  reference.receive(sent);
  const sim::TraceLines expected = reference.take_trace();
  ASSERT_EQ(simulator.wait_for_trace_lines(expected.size(), kTraceTimeout), expected);
  // The capture is written before the bytes are decoded, so it is complete by now.
  const std::string captured = test_support::read_file(capture);
  EXPECT_EQ(Bytes(captured.begin(), captured.end()), sent);
  EXPECT_EQ(simulator.stop(), 0) << simulator.error_output();
}

TEST(SimProcess, SurvivesHostsClosingAndReopeningThePort) {
  SimulatorProcess simulator;
  for (const char letter : {'A', 'B', 'C'}) {
    const kit::posix::UniqueFd port = open_port(simulator.port_path(), true);
    send(port.get(), {static_cast<std::uint8_t>(letter)});
  }
  EXPECT_EQ(simulator.wait_for_trace_lines(3, kTraceTimeout),
            (std::vector<std::string>{"text 41 A", "text 42 B", "text 43 C"}));
  EXPECT_TRUE(simulator.running()) << simulator.error_output();
  EXPECT_EQ(simulator.stop(), 0) << simulator.error_output();
}

// SIGUSR1 pulls the display's line out as an unplugged adapter would: a host
// holding the old port gets an error, and the port's device goes away.
// SIGUSR2 plugs it back in on a new port under the same link; what the display
// showed stays.
TEST(SimProcess, UnplugsAndPlugsBackInOnSignals) {
  SimulatorProcess simulator;
  const std::string first_tty = simulator.tty_path();
  const kit::posix::UniqueFd old_port = open_port(simulator.port_path(), true);
  send(old_port.get(), {'A'});
  ASSERT_EQ(simulator.wait_for_trace_lines(1, kTraceTimeout), std::vector<std::string>{"text 41 A"});

  simulator.signal(SIGUSR1);
  ASSERT_EQ(simulator.wait_for_trace_lines(2, kTraceTimeout).back(), "unplugged");
  const std::uint8_t byte = 'B';
  EXPECT_EQ(::write(old_port.get(), &byte, 1), -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_FALSE(path_exists(first_tty)) << "the unplugged port's device is gone";

  simulator.signal(SIGUSR2);
  const std::vector<std::string> lines = simulator.wait_for_trace_lines(3, kTraceTimeout);
  ASSERT_EQ(lines.size(), 3u);
  const std::string second_tty = simulator.tty_path();
  EXPECT_EQ(lines.back(), "plugged in " + second_tty);
  const kit::posix::UniqueFd new_port = open_port(simulator.port_path(), true);
  send(new_port.get(), {'C'});
  EXPECT_EQ(simulator.wait_for_trace_lines(4, kTraceTimeout).back(), "text 43 C");
  EXPECT_EQ(sim::row_text(simulator.state().rows[0]), "AC                  ");
  simulator.signal(SIGUSR2);  // plugged in already: nothing happens
  EXPECT_EQ(simulator.stop(), 0) << simulator.error_output();
  EXPECT_EQ(simulator.trace_lines().size(), 4u);
}

TEST(SimProcess, StopsCleanlyOnSigtermAndRemovesItsLink) {
  SimulatorProcess simulator;
  ASSERT_TRUE(path_exists(simulator.port_path()));
  EXPECT_EQ(simulator.stop(), 0) << simulator.error_output();
  EXPECT_FALSE(path_exists(simulator.port_path()));
}

TEST(SimProcess, ServesAGivenDevice) {
  // A pseudo-terminal of the test's own: the simulator serves its port end,
  // the test writes into the master as the far end of a serial cable would.
  kit::posix::UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  ASSERT_TRUE(master.is_valid());
  ASSERT_EQ(::grantpt(master.get()), 0);
  ASSERT_EQ(::unlockpt(master.get()), 0);
  char device[128];
  ASSERT_EQ(::ptsname_r(master.get(), device, sizeof device), 0);

  SimulatorProcess simulator({.device = device});
  EXPECT_EQ(simulator.tty_path(), device);
  send(master.get(), {0x1F, 0x45, 0x0A, 0x0D, 0x03});
  EXPECT_EQ(simulator.wait_for_trace_lines(3, kTraceTimeout),
            (std::vector<std::string>{"blink n=10", "text 0d .", "text 03 ."}));
  EXPECT_EQ(simulator.state().blink, 10);
  EXPECT_EQ(simulator.stop(), 0) << simulator.error_output();
}

struct CommandLineCase {
  std::vector<std::string> arguments;
  int exit_code;
  std::string output;  // a part of stdout
  std::string errors;  // a part of stderr
};

TEST(SimProcess, AnswersHelpAndRejectsBadArguments) {
  const std::vector<CommandLineCase> cases = {
      {{"--help"}, 0, "usage: pole_display_sim", ""},
      {{"--bogus"}, 2, "", "unknown argument '--bogus'"},
      {{"--state"}, 2, "", "usage: pole_display_sim"},
      {{"--device", "/nonexistent/tty"}, 1, "", "cannot open /nonexistent/tty"},
      {{"--device", "/dev/null"}, 1, "", "/dev/null is not a terminal device"},
  };
  for (const CommandLineCase& test : cases) {
    SCOPED_TRACE(test.arguments.front());
    const test_support::RunResult result = test_support::run_simulator(test.arguments, 10s);
    EXPECT_EQ(result.exit_code, test.exit_code) << result.errors;
    EXPECT_NE(result.output.find(test.output), std::string::npos) << result.output;
    EXPECT_NE(result.errors.find(test.errors), std::string::npos) << result.errors;
    if (test.exit_code != 0) {
      EXPECT_EQ(result.output, "") << "failures print nothing on stdout";
    }
  }
}

TEST(SimProcess, AnnouncesOnlyThePortWhenStdoutIsNoTerminal) {
  const test_support::TempDirectory directory("pole_display_sim_announce");
  test_support::ChildProcess process({test_support::simulator_path()}, directory.file("out"),
                                     directory.file("err"));
  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (output.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
    output = test_support::read_file(directory.file("out"));
  }
  ASSERT_EQ(output.rfind("port: /dev/pts/", 0), 0u) << output;
  EXPECT_EQ(process.terminate(5s), 0);
  EXPECT_EQ(test_support::read_file(directory.file("out")), output) << "nothing but the port line";
}

TEST(SimProcess, RefusesToReplaceAFileThatIsNoLink) {
  const test_support::TempDirectory directory("pole_display_sim_link");
  const std::string occupied = directory.file("port");
  std::ofstream(occupied) << "keep me";
  const test_support::RunResult result = test_support::run_simulator({"--link", occupied}, 10s);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.errors.find("is not a symbolic link"), std::string::npos) << result.errors;
  EXPECT_EQ(test_support::read_file(occupied), "keep me");
}

TEST(SimProcess, ReplacesAStaleLink) {
  const test_support::TempDirectory directory("pole_display_sim_stale");
  const std::string link = directory.file("port");
  ASSERT_EQ(::symlink("/dev/pts/nonexistent", link.c_str()), 0);
  test_support::ChildProcess process({test_support::simulator_path(), "--quiet", "--link", link},
                                     directory.file("out"), directory.file("err"));
  auto link_target = [&link] {
    char buffer[256];
    const ssize_t length = ::readlink(link.c_str(), buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
  };
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (link_target() == "/dev/pts/nonexistent" && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  const std::string target = link_target();
  EXPECT_EQ(target.rfind("/dev/pts/", 0), 0u) << "the link was missing or half made: '" << target << "'";
  EXPECT_NE(target, "/dev/pts/nonexistent");
  EXPECT_EQ(process.terminate(5s), 0);
  EXPECT_FALSE(path_exists(link));
}

}  // namespace
