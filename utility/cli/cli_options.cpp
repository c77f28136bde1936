#include "utility/cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "utility/core/selection_lists.h"

namespace utility {

namespace {

constexpr std::uint32_t kMaxTimeoutMs = 600000;

std::optional<std::uint32_t> ParseNumber(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::optional<int> ComPortNumber(std::string_view name) {
  if (name.size() < 4) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) {
      return std::nullopt;
    }
  }
  const auto number = ParseNumber(name.substr(3));
  if (!number) {
    return std::nullopt;
  }
  return static_cast<int>(std::min<std::uint32_t>(*number, 1000));
}

std::variant<CliOptions, UsageError> ParseArguments(std::span<const std::string> arguments) {
  CliOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    const auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= arguments.size()) {
        return std::nullopt;
      }
      return arguments[++i];
    };
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--port" || arg == "--baud" || arg == "--timeout-ms" || arg == "--code-page") {
      const auto text = value();
      if (!text) {
        return UsageError{arg + " needs a value"};
      }
      if (arg == "--port") {
        options.port = *text;
        continue;
      }
      const auto number = ParseNumber(*text);
      if (arg == "--code-page") {
        if (!number || *number > 65535 || !IsOfferedCodePage(static_cast<std::int32_t>(*number))) {
          return UsageError{"--code-page must be one of " + OfferedCodePages() + " (got \"" + *text + "\")"};
        }
        options.codePage = static_cast<std::int32_t>(*number);
      } else if (arg == "--baud") {
        if (!number || BaudRateIndex(*number) == kNoSelection) {
          return UsageError{"--baud must be one of 9600, 19200, 38400, 57600, 115200 (got \"" + *text +
                            "\")"};
        }
        options.baud = *number;
      } else {
        if (!number || *number == 0 || *number > kMaxTimeoutMs) {
          return UsageError{"--timeout-ms must be a number from 1 to 600000 (got \"" + *text + "\")"};
        }
        options.timeoutMs = *number;
      }
    } else if (arg.size() > 1 && arg[0] == '-' && options.command.empty()) {
      return UsageError{"unknown option " + arg};
    } else {
      options.command.push_back(arg);
    }
  }
  return options;
}

}  // namespace utility
