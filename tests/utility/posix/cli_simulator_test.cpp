// zorn-utility-cli configuring the display simulator end to end: the program
// as a technician runs it, the simulator's state file as the witness.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/simulator_process.h"
#include "tests/support/temp_directory.h"
#include "utility/core/language_font_table.h"

namespace utility {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using test_support::SimulatorProcess;

struct CliResult {
  int exitCode = -1;
  std::string out;
  std::string err;
  milliseconds took{0};
};

// Runs the front end on the simulator's port, named by its device path or,
// with `asCom4`, as COM4 through ZORN_COM4; never waits longer than `limit`.
// `environment` replaces ZORN_COM4 with env(1)'s own arguments (a folder to
// run in, variables).
CliResult RunCli(const SimulatorProcess& simulator, std::vector<std::string> arguments,
                 milliseconds limit = seconds(20), bool asCom4 = false,
                 std::vector<std::string> environment = {}) {
  test_support::TempDirectory dir("zorn_cli");
  std::vector<std::string> argv = {KIT_UTILITY_CLI, "--port", simulator.port_path()};
  if (asCom4) {
    if (environment.empty()) {
      environment = {"ZORN_COM4=" + simulator.port_path()};
    }
    argv = {"/usr/bin/env"};
    argv.insert(argv.end(), environment.begin(), environment.end());
    argv.insert(argv.end(), {KIT_UTILITY_CLI, "--port", "COM4"});
  }
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const auto start = std::chrono::steady_clock::now();
  test_support::ChildProcess child(argv, dir.file("out"), dir.file("err"));
  CliResult result;
  const auto code = child.wait_exit(limit);
  result.exitCode = code ? *code : child.terminate(seconds(1));
  result.took = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
  result.out = test_support::read_file(dir.file("out"));
  result.err = test_support::read_file(dir.file("err"));
  return result;
}

SimulatorProcess StartSimulator(std::vector<std::string> extra = {}) {
  SimulatorProcess::Options options;
  options.extra_args = std::move(extra);
  return SimulatorProcess(options);
}

std::size_t CountOf(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

TEST(CliOnSimulator, SettingsReachTheDisplaysFlashAndScreen) {
  SimulatorProcess simulator = StartSimulator();
  auto result = RunCli(simulator, {"text", "HELLO", "PRICE 1.99"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  result = RunCli(simulator, {"command-set", "CD5220"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  result = RunCli(simulator, {"font", "Euro(CP-858)"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  simulator.wait_for_trace_lines(3, seconds(5));
  const sim::ObservableState state = simulator.state();
  EXPECT_EQ(sim::row_text(state.rows[0]), "HELLO               ");
  EXPECT_EQ(sim::row_text(state.rows[1]), "PRICE 1.99          ");
  EXPECT_EQ(state.flash.command_set, 7);
  EXPECT_EQ(state.flash.default_font, 8);
  EXPECT_EQ(state.frames_rejected, 0U);
}

TEST(CliOnSimulator, TextReachesTheScreenInTheDisplaysCodePage) {
  struct Case {
    const char* codePage;
    std::string text;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"858", "Prix 10\xE2\x82\xAC", "Prix 10\xD5"},
      {"866", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "\x8F\xE0\xA8\xA2\xA5\xE2"},
  };
  SimulatorProcess simulator = StartSimulator();
  std::size_t sent = 0;
  for (const Case& c : cases) {
    const auto result = RunCli(simulator, {"--code-page", c.codePage, "text", c.text});
    ASSERT_EQ(result.exitCode, 0) << c.codePage << result.err;
    simulator.wait_for_trace_lines(++sent, seconds(5));
    const sim::ScreenRow row = simulator.state().rows[0];
    std::string expected = c.bytes;
    expected.resize(row.size(), ' ');
    EXPECT_EQ(std::string(row.begin(), row.end()), expected) << c.codePage << ": " << sim::row_text(row);
  }
}

TEST(CliOnSimulator, InfoShowsTheDisplaysRecord) {
  SimulatorProcess simulator = StartSimulator();
  const auto result = RunCli(simulator, {"info"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_NE(
      result.out.find("Zorn Information: \n\nVersion :\nSIM-DSP 1.00\n\nCommand Set :\n 0\n\nDefault Font :\n"
                      " 0\n\nLanguage :\n 0\n\nBPS :\n 0\n"),
      std::string::npos)
      << result.out;
}

TEST(CliOnSimulator, InfoSurvivesAReplySplitAcrossNotificationsADelayAndALateAcknowledgement) {
  for (const char* fault : {"split-info", "delay=300", "late-ack", "late-ack,split-info"}) {
    SimulatorProcess simulator = StartSimulator({"--fault", fault});
    const auto result = RunCli(simulator, {"info"});
    EXPECT_EQ(result.exitCode, 0) << fault << result.err;
    EXPECT_NE(result.out.find("\n\nVersion :\nSIM-DSP 1.00\n\nCommand Set :\n 0\n"), std::string::npos)
        << fault << result.out;
  }
}

TEST(CliOnSimulator, SpeedChangeTakesEffectOnlyAtTheNewSpeed) {
  SimulatorProcess simulator = StartSimulator();
  ASSERT_EQ(RunCli(simulator, {"baud", "115200"}).exitCode, 0);
  // At the old speed the display receives garbage and cannot answer.
  const auto stale = RunCli(simulator, {"--timeout-ms", "500", "info"});
  EXPECT_EQ(stale.exitCode, 4) << stale.out;
  const auto fresh = RunCli(simulator, {"--baud", "115200", "info"});
  ASSERT_EQ(fresh.exitCode, 0) << fresh.err;
  EXPECT_NE(fresh.out.find("BPS :\n 4"), std::string::npos) << fresh.out;
  EXPECT_GT(simulator.state().garbage_bytes, 0U);
}

TEST(CliOnSimulator, FontSetLoadsTheLanguagesGlyphsBlockByBlock) {
  SimulatorProcess simulator = StartSimulator();
  const auto result = RunCli(simulator, {"font-set", "(DE) Germany"});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(CountOf(result.out, "font-set: frame "), 23U);
  EXPECT_NE(result.out.find("font-set: done"), std::string::npos);
  EXPECT_TRUE(result.err.empty()) << result.err;

  simulator.wait_for_trace_lines(23, seconds(5));
  const sim::ObservableState state = simulator.state();
  const LanguageFontRow& de = LanguageFontTable()[1];
  EXPECT_EQ(state.flash.language, "DE");
  EXPECT_TRUE(std::equal(de.InternationalGlyphs.begin(), de.InternationalGlyphs.end(),
                         state.flash.international_glyphs.begin()));
  EXPECT_TRUE(std::equal(de.UpperGlyphs.begin(), de.UpperGlyphs.end(), state.flash.upper_glyphs.begin()));
  EXPECT_EQ(state.frames_rejected, 0U);
}

TEST(CliOnSimulator, AcknowledgementsEndingInAckCountOthersTimeOut) {
  struct Case {
    const char* fault;
    int exitCode;
    std::size_t frames;
  };
  const std::vector<Case> cases = {
      {"nak-first", 0, 23},  // 15 06 ends in ACK
      {"nak-last", 4, 1},    // 06 15 does not: the response timer ends it
      {"no-ack-after=5", 4, 6},
  };
  for (const auto& c : cases) {
    SimulatorProcess simulator = StartSimulator({"--fault", c.fault});
    const auto result = RunCli(simulator, {"font-set", "RW"});
    EXPECT_EQ(result.exitCode, c.exitCode) << c.fault << result.err;
    EXPECT_EQ(CountOf(result.out, "font-set: frame "), c.frames) << c.fault;
    if (c.exitCode != 0) {
      EXPECT_NE(result.out.find("Response Timeout !\n Try again"), std::string::npos) << c.fault;
      // The timer runs 5000 ms from the last notification (or the start).
      EXPECT_GE(result.took, milliseconds(5000)) << c.fault;
      EXPECT_LT(result.took, milliseconds(9000)) << c.fault;
    }
  }
}

// A dropped line and a display that only sends NAKs both end the download
// well before the front end's 60 s last resort.
TEST(CliOnSimulator, AHangUpOrAChatteringDisplayEndsTheDownloadPromptly) {
  struct Case {
    const char* fault;
    const char* message;
    std::size_t frames;
  };
  const std::vector<Case> cases = {
      {"hangup-after=3", "Com port disconnected !", 4},
      {"chatter=30,no-ack-after=3", "Response Timeout !\n Try again", 4},
  };
  for (const auto& c : cases) {
    SimulatorProcess simulator = StartSimulator({"--fault", c.fault});
    const auto result = RunCli(simulator, {"font-set", "DE"}, seconds(40));
    EXPECT_EQ(result.exitCode, 4) << c.fault << result.err;
    EXPECT_NE((result.out + result.err).find(c.message), std::string::npos) << c.fault << result.err;
    EXPECT_EQ(CountOf(result.out, "font-set: frame "), c.frames) << c.fault;
    EXPECT_LT(result.took, seconds(30)) << c.fault;
  }
}

TEST(CliOnSimulator, ReplyLargerThanTheReceiveRingIsDroppedWithAMessage) {
  SimulatorProcess simulator = StartSimulator({"--fault", "burst=9000"});
  const auto result = RunCli(simulator, {"--timeout-ms", "3000", "info"});
  EXPECT_EQ(result.exitCode, 4) << result.out;
  EXPECT_NE(result.err.find("m_QueueRead FULL!"), std::string::npos) << result.err;
}

// A stand-in firmware tool: a script that notes the folder it was started
// in and its own path in `note`.
void WriteTool(const std::string& path, const std::string& note) {
  std::ofstream(path) << "#!/bin/sh\necho \"$PWD $0\" > " << note << "\n";
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

bool WaitForFile(const std::string& path, milliseconds limit) {
  const auto giveUp = std::chrono::steady_clock::now() + limit;
  while (!std::filesystem::exists(path) && std::chrono::steady_clock::now() < giveUp) {
    std::this_thread::sleep_for(milliseconds(20));
  }
  return std::filesystem::exists(path);
}

TEST(CliOnSimulator, DownloadStartsTheToolFromThePathNeverFromTheCurrentFolder) {
  SimulatorProcess simulator = StartSimulator();
  const auto refused = RunCli(simulator, {"download"});
  EXPECT_EQ(refused.exitCode, 2) << "a device path has no COM number for config.data";
  EXPECT_NE(refused.err.find("download needs the port as COM1 to COM20"), std::string::npos) << refused.err;
  EXPECT_TRUE(simulator.trace_lines().empty());

  // A tool planted in the current folder, and none on the PATH: not found,
  // and the display is left alone.
  test_support::TempDirectory work("zorn_cli_work");
  test_support::TempDirectory tools("zorn_cli_tools");
  WriteTool(work.file("NuvoISP.exe"), work.file("planted-ran"));
  const std::string comEnvironment = "ZORN_COM4=" + simulator.port_path();
  const auto notFound = RunCli(simulator, {"download"}, seconds(20), true,
                               {"--chdir=" + work.path(), "PATH=/usr/bin:/bin:.:", comEnvironment});
  EXPECT_EQ(notFound.exitCode, 5) << notFound.out;
  EXPECT_NE(notFound.err.find("NuvoISP.exe was not found"), std::string::npos) << notFound.err;
  EXPECT_FALSE(std::filesystem::exists(work.file("planted-ran")));
  EXPECT_TRUE(simulator.trace_lines().empty()) << "no download request without a tool";

  // On the PATH: started by its full path, in the current folder, after the
  // display was sent into its download mode.
  WriteTool(tools.file("NuvoISP.exe"), tools.file("started"));
  const auto handedOver =
      RunCli(simulator, {"download"}, seconds(20), true,
             {"--chdir=" + work.path(), "PATH=/usr/bin:" + tools.path() + ":/bin", comEnvironment});
  EXPECT_EQ(handedOver.exitCode, 0) << handedOver.err;
  EXPECT_NE(handedOver.out.find("Com port closed !"), std::string::npos);
  ASSERT_TRUE(WaitForFile(tools.file("started"), seconds(10)));
  std::string note;
  for (int attempt = 0; attempt < 100 && note.find('\n') == std::string::npos; ++attempt) {
    note = test_support::read_file(tools.file("started"));
    std::this_thread::sleep_for(milliseconds(20));
  }
  EXPECT_EQ(note, work.path() + " " + tools.file("NuvoISP.exe") + "\n");
  EXPECT_FALSE(std::filesystem::exists(work.file("planted-ran")));
  simulator.wait_for_trace_lines(1, seconds(5));
  EXPECT_EQ(simulator.state().mode, sim::DisplayMode::download);
}

TEST(CliOnSimulator, MissingPortGivesExitThree) {
  SimulatorProcess simulator = StartSimulator();
  test_support::TempDirectory dir("zorn_cli_missing");
  test_support::ChildProcess child({KIT_UTILITY_CLI, "--port", dir.file("no-such-port"), "info"},
                                   dir.file("out"), dir.file("err"));
  EXPECT_EQ(child.wait_exit(seconds(10)), 3);
  EXPECT_NE(test_support::read_file(dir.file("err")).find("Com port open failed !"), std::string::npos);
}

}  // namespace
}  // namespace utility
