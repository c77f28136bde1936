// The command line: what it takes and how it refuses.

#include <gtest/gtest.h>

#include "bridge/core/bridge_options.h"

namespace bridge {
namespace {

TEST(Options, TakesEverySetting) {
  const auto parsed = parse_options({"--display", "front=/dev/ttyUSB0,baud=115200,code-page=866", "--display",
                                     "back=COM3", "--listen", "0.0.0.0:9000", "--allow-origin",
                                     "https://pos.example", "--token-file", "/etc/token"});
  ASSERT_TRUE(parsed.options) << parsed.error;
  const BridgeOptions& o = *parsed.options;
  ASSERT_EQ(o.displays.size(), 2u);
  EXPECT_EQ(o.displays[0].port, "/dev/ttyUSB0");
  EXPECT_EQ(o.displays[0].baud_rate, 115200);
  EXPECT_EQ(o.displays[0].code_page, 866);
  EXPECT_EQ(o.displays[1].baud_rate, 9600);
  EXPECT_EQ(o.displays[1].code_page, 437);
  EXPECT_EQ(o.listen_host, "0.0.0.0");
  EXPECT_EQ(o.listen_port, 9000);
  EXPECT_EQ(o.allowed_origins, std::vector<std::string>{"https://pos.example"});
  EXPECT_EQ(o.token_file, "/etc/token");
  EXPECT_EQ(parse_options({"--display", "a=/dev/x", "--listen", "[::1]:80"}).options->listen_host, "::1");
}

TEST(Options, RefusesWithAReason) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
      {{}, "at least one"},
      {{"--display", "a b=/dev/x"}, "letters"},
      {{"--display", "a="}, "no port"},
      {{"--display", "a=/dev/x,baud=1200"}, "baud"},
      {{"--display", "a=/dev/x,code-page=999"}, "code page"},
      {{"--display", "a=/dev/x,parity=odd"}, "unknown setting"},
      {{"--display", "a=/dev/x", "--display", "a=/dev/y"}, "twice"},
      {{"--display", "a=/dev/x", "--listen", "localhost"}, "HOST:PORT"},
      {{"--display", "a=/dev/x", "--listen", "1.2.3.4:70000"}, "HOST:PORT"},
      {{"--display", "a=/dev/x", "--allow-origin", "*"}, "wildcard"},
      {{"--display", "a=/dev/x", "--allow-origin", "https://a.example/path"}, "no path"},
      {{"--display", "a=/dev/x", "--token-file"}, "needs a value"},
      {{"--display", "a=/dev/x", "--verbose"}, "unknown argument"},
  };
  for (const auto& [arguments, reason] : refused) {
    const auto parsed = parse_options(arguments);
    EXPECT_FALSE(parsed.options);
    EXPECT_NE(parsed.error.find(reason), std::string::npos) << parsed.error;
  }
  EXPECT_EQ(token_from_file_text("  s3cret \nnext"), "s3cret");
  EXPECT_EQ(token_from_file_text("\n"), "");
}

}  // namespace
}  // namespace bridge
