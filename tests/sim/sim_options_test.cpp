// The simulator's command line, parsed in process.
#include "sim/sim_options.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

sim::OptionsResult parse(const std::vector<std::string_view>& arguments) {
  return sim::parse_options(arguments);
}

TEST(SimOptions, AcceptsEveryOptionInBothForms) {
  const sim::OptionsResult parsed = parse({"--link", "/tmp/p", "--device=/dev/ttyS0", "--state", "s.txt",
                                           "--trace=t.txt", "--quiet", "--capture", "c.bin"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  EXPECT_EQ(parsed.options->link, "/tmp/p");
  EXPECT_EQ(parsed.options->device, "/dev/ttyS0");
  EXPECT_EQ(parsed.options->state_file, "s.txt");
  EXPECT_EQ(parsed.options->trace_file, "t.txt");
  EXPECT_EQ(parsed.options->capture_file, "c.bin");
  EXPECT_TRUE(parsed.options->quiet);
  EXPECT_FALSE(parsed.options->help);
}

TEST(SimOptions, DefaultsToAPseudoTerminalWithNoFiles) {
  const sim::OptionsResult parsed = parse({});
  ASSERT_TRUE(parsed.options);
  EXPECT_TRUE(parsed.options->device.empty());
  EXPECT_TRUE(parsed.options->link.empty());
  EXPECT_TRUE(parsed.options->state_file.empty());
  EXPECT_FALSE(parsed.options->quiet);
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
    const sim::OptionsResult parsed = parse(arguments);
    EXPECT_FALSE(parsed.options) << error;
    EXPECT_EQ(parsed.error, error);
  }
}

}  // namespace
