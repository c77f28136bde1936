// The Windows service's decisions: the settings file, the status reports and the stop hand-over.

#include "bridge/core/service_control.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "bridge/core/bridge_options.h"

namespace bridge {
namespace {

using Arguments = std::vector<std::string>;

TEST(ServiceSettingsFile, ReadsTheCommandLineOptionsOneALine) {
  const std::vector<std::pair<std::string, Arguments>> read = {
      {"", {}},
      {"\xEF\xBB\xBF--display pos=COM3\r\n", {"--display", "pos=COM3"}},
      {"# comment\n\n  display  pos=COM3,code-page=858  \nlisten 0.0.0.0:80",
       {"--display", "pos=COM3,code-page=858", "--listen", "0.0.0.0:80"}},
      {"token-file C:\\Program Files\\token.txt\n", {"--token-file", "C:\\Program Files\\token.txt"}},
      {"\tallow-origin\thttps://pos.example\n#--display x=COM1\n", {"--allow-origin", "https://pos.example"}},
  };
  for (const auto& [text, expected] : read) {
    const auto parsed = arguments_from_settings_file(text);
    ASSERT_TRUE(parsed.arguments) << text << ": " << parsed.error;
    EXPECT_EQ(*parsed.arguments, expected) << text;
  }
  // What the file says is checked as the command line is.
  const auto file = arguments_from_settings_file("display pos=COM3,baud=1200\n");
  EXPECT_NE(parse_options(*file.arguments).error.find("baud"), std::string::npos);

  const std::vector<std::pair<std::string, std::string>> refused = {
      {"display pos=COM3\nlisten\n", "line 2: --listen needs a value"},
      {"\n\n--service\n", "line 3: --service"},
  };
  for (const auto& [text, error] : refused) {
    const auto parsed = arguments_from_settings_file(text);
    EXPECT_FALSE(parsed.arguments) << text;
    EXPECT_EQ(parsed.error.rfind(error, 0), 0u) << parsed.error;
  }
}

TEST(ServiceReports, PendingStatesShowProgressAndOnlyARunningServiceTakesAStop) {
  struct Step {
    ServiceState state;
    std::uint32_t exit_code, controls, checkpoint, hint, reported_exit;
  };
  const std::uint32_t stop = kAcceptStop | kAcceptShutdown;
  const std::vector<std::vector<Step>> runs = {
      {{ServiceState::kStartPending, 0, 0, 1, ServiceReports::kStartHintMs, 0},
       {ServiceState::kRunning, 0, stop, 0, 0, 0},
       {ServiceState::kStopPending, 0, 0, 1, ServiceReports::kStopHintMs, 0},
       {ServiceState::kStopPending, 0, 0, 2, ServiceReports::kStopHintMs, 0},
       {ServiceState::kStopPending, 0, 0, 3, ServiceReports::kStopHintMs, 0},
       {ServiceState::kStopped, 0, 0, 0, 0, 0}},
      // A refused settings file: stopped from start-pending with the program's exit code.
      {{ServiceState::kStartPending, 0, 0, 1, ServiceReports::kStartHintMs, 0},
       {ServiceState::kStartPending, 0, 0, 2, ServiceReports::kStartHintMs, 0},
       {ServiceState::kStopped, 2, 0, 0, 0, 2}},
  };
  for (const auto& run : runs) {
    ServiceReports reports;
    for (std::size_t i = 0; i < run.size(); ++i) {
      const Step& step = run[i];
      const ServiceReport report = reports.next(step.state, step.exit_code);
      EXPECT_EQ(report.state, step.state) << i;
      EXPECT_EQ(report.controls_accepted, step.controls) << i;
      EXPECT_EQ(report.checkpoint, step.checkpoint) << i;
      EXPECT_EQ(report.wait_hint_ms, step.hint) << i;
      EXPECT_EQ(report.exit_code, step.reported_exit) << i;
    }
  }
}

TEST(ServiceControls, StopAndShutDownStopInterrogateReportsTheRestIsRefused) {
  const std::vector<std::pair<std::uint32_t, ControlAnswer>> answers = {
      {1, ControlAnswer::kStop},           {5, ControlAnswer::kStop},
      {4, ControlAnswer::kReport},         {2, ControlAnswer::kNotImplemented},
      {3, ControlAnswer::kNotImplemented}, {0x40, ControlAnswer::kNotImplemented},
  };
  for (const auto& [control, answer] : answers) EXPECT_EQ(answer_control(control), answer) << control;
}

TEST(StopLatch, AStopReachesTheServerWhicheverComesFirstAndNeverAfterItEnded) {
  int stops = 0;
  StopLatch early;
  EXPECT_TRUE(early.request());
  EXPECT_FALSE(early.request());
  early.arm([&] { ++stops; });
  EXPECT_EQ(stops, 1);

  StopLatch late;
  late.arm([&] { ++stops; });
  EXPECT_FALSE(late.requested());
  EXPECT_TRUE(late.request());
  EXPECT_FALSE(late.request());
  EXPECT_EQ(stops, 2);

  StopLatch ended;
  ended.arm([&] { ++stops; });
  ended.disarm();
  EXPECT_TRUE(ended.request());
  EXPECT_EQ(stops, 2);

  // A request from another thread while the server is armed: one stop, whatever the order.
  std::atomic<int> raced{0};
  StopLatch racing;
  std::thread requester([&] { racing.request(); });
  racing.arm([&] { ++raced; });
  requester.join();
  EXPECT_EQ(raced.load(), 1);
}

}  // namespace
}  // namespace bridge
