#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "utility/cli/cli_text.h"

namespace utility {

inline constexpr std::uint32_t kDefaultReplyTimeoutMs = 3000;

// zorn-utility-cli's options, as its command line gives them.
struct CliOptions {
  std::string port;
  std::uint32_t baud = 9600;
  std::uint32_t timeoutMs = kDefaultReplyTimeoutMs;
  std::int32_t codePage = kDefaultTextCodePage;
  std::vector<std::string> command;  // the command and its arguments
  bool help = false;
};

// Why a command line cannot be run, in words for the user.
struct UsageError {
  std::string message;
};

// Reads the options and checks their values; the first word that is not an option starts the
// command, and every word after it belongs to the command.
std::variant<CliOptions, UsageError> ParseArguments(std::span<const std::string> arguments);

// "COM4" (any case) gives port 4, numbers above 1000 give 1000; anything else is not a COM name.
std::optional<int> ComPortNumber(std::string_view name);

}  // namespace utility
