#pragma once
// The bridge's command line:
//
//   zorn-display-bridge --display NAME=PORT[,baud=9600][,code-page=437] [--display ...]
//                       [--listen 127.0.0.1:8765] [--allow-origin ORIGIN ...] [--token-file FILE]
//
// Names are letters, digits, '-' and '_' (they appear in paths); origins are
// scheme://host[:port] exactly as a browser sends them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bridge/core/display_channel.h"

namespace bridge {

struct BridgeOptions {
  std::vector<DisplaySettings> displays;
  std::string listen_host = "127.0.0.1";
  std::uint16_t listen_port = 8765;
  std::vector<std::string> allowed_origins;
  std::string token_file;  // empty: no token asked for
};

struct ParsedOptions {
  std::optional<BridgeOptions> options;
  std::string error;  // why the command line was refused, when options is empty
};

[[nodiscard]] ParsedOptions parse_options(const std::vector<std::string>& arguments);

// The usage text printed for a refused command line.
[[nodiscard]] std::string usage();

// The token in a token file's text: the first line, without surrounding white space.
[[nodiscard]] std::string token_from_file_text(const std::string& text);

}  // namespace bridge
