// The simulator's command line, parsed in process.
#include "sim/runtime/sim_options.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::chrono_literals;

sim::Parsed<sim::SimOptions> parse(const std::vector<std::string_view>& arguments) {
  return sim::parse_options(arguments);
}

TEST(SimOptions, AcceptsEveryOptionInBothForms) {
  const sim::Parsed<sim::SimOptions> parsed =
      parse({"--link", "/tmp/p", "--device=/dev/ttyS0", "--state", "s.txt", "--trace=t.txt", "--quiet"});
  ASSERT_TRUE(parsed.value) << parsed.error;
  EXPECT_EQ(parsed.value->link, "/tmp/p");
  EXPECT_EQ(parsed.value->device, "/dev/ttyS0");
  EXPECT_EQ(parsed.value->state_file, "s.txt");
  EXPECT_EQ(parsed.value->trace_file, "t.txt");
  EXPECT_TRUE(parsed.value->quiet);
  EXPECT_FALSE(parsed.value->help);
}

TEST(SimOptions, DefaultsToAPseudoTerminalWithNoFiles) {
  const sim::Parsed<sim::SimOptions> parsed = parse({});
  ASSERT_TRUE(parsed.value);
  EXPECT_TRUE(parsed.value->device.empty());
  EXPECT_TRUE(parsed.value->link.empty());
  EXPECT_TRUE(parsed.value->state_file.empty());
  EXPECT_FALSE(parsed.value->quiet);
}

TEST(SimOptions, RejectsBadArguments) {
  const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
      {{"--bogus"}, "unknown argument '--bogus'"},
      {{"port"}, "unknown argument 'port'"},
      {{"--quiet=yes"}, "unknown argument '--quiet=yes'"},
      {{"--link"}, "--link needs a path"},
      {{"--state="}, "--state needs a path"},
      {{"--trace", "--quiet"}, "--trace needs a path"},
      {{"--device", "a", "--device", "b"}, "--device given twice"},
      {{"--quiet", "--quiet"}, "--quiet given twice"},
  };
  for (const auto& [arguments, error] : cases) {
    const sim::Parsed<sim::SimOptions> parsed = parse(arguments);
    EXPECT_FALSE(parsed.value) << error;
    EXPECT_EQ(parsed.error, error);
  }
}

TEST(SimOptions, ReadsFlashDotsFaultsAndSpeedCheck) {
  const sim::Parsed<sim::SimOptions> parsed =
      parse({"--flash", "f.txt", "--dots=d.txt", "--fault", "no-ack-after=3,delay=20", "--fault=split-info",
             "--no-speed-check"});
  ASSERT_TRUE(parsed.value) << parsed.error;
  EXPECT_EQ(parsed.value->flash_file, "f.txt");
  EXPECT_EQ(parsed.value->dots_file, "d.txt");
  EXPECT_EQ(parsed.value->faults.ack_limit, 3u);
  EXPECT_EQ(parsed.value->faults.delay, 20ms);
  EXPECT_TRUE(parsed.value->faults.split_info);
  EXPECT_FALSE(parsed.value->speed_check);
  EXPECT_TRUE(parse({}).value->speed_check);

  EXPECT_EQ(parse({"--fault"}).error, "--fault needs a mode");
  EXPECT_EQ(parse({"--fault", "--quiet"}).error, "--fault needs a mode");
  EXPECT_EQ(parse({"--fault=bogus"}).error, "unknown fault mode 'bogus'");
  EXPECT_EQ(parse({"--no-speed-check", "--no-speed-check"}).error, "--no-speed-check given twice");
  EXPECT_EQ(parse({"--flash", "a", "--flash", "b"}).error, "--flash given twice");
  for (const char* name : {"--flash", "--dots", "--fault", "--no-speed-check"}) {
    EXPECT_NE(sim::usage_text().find(name), std::string::npos) << name;
  }
}

}  // namespace
