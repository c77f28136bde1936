#include "bridge/core/bridge_options.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "service_object/core/code_page.h"

namespace bridge {
namespace {

constexpr std::int32_t kLineSpeeds[] = {9600, 19200, 38400, 57600, 115200};

bool valid_name(const std::string& name) {
  return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
  });
}

std::optional<long long> number(const std::string& text) {
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// NAME=PORT[,baud=N][,code-page=N]
std::optional<DisplaySettings> parse_display(const std::string& text, std::string& error) {
  const auto equals = text.find('=');
  DisplaySettings display;
  display.name = text.substr(0, equals);
  if (equals == std::string::npos || !valid_name(display.name)) {
    error = "--display needs NAME=PORT with a name of letters, digits, '-' and '_': '" + text + "'";
    return std::nullopt;
  }
  std::string rest = text.substr(equals + 1);
  const auto comma = rest.find(',');
  display.port = rest.substr(0, comma);
  if (display.port.empty()) {
    error = "--display " + display.name + " names no port";
    return std::nullopt;
  }
  rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
  while (!rest.empty()) {
    const auto next = rest.find(',');
    const std::string item = rest.substr(0, next);
    rest = next == std::string::npos ? "" : rest.substr(next + 1);
    const auto eq = item.find('=');
    const std::string key = item.substr(0, eq);
    // -1 stands for a value that is no number: no speed or code page has it.
    const long long value = eq == std::string::npos ? -1 : number(item.substr(eq + 1)).value_or(-1);
    if (key == "baud" && std::count(std::begin(kLineSpeeds), std::end(kLineSpeeds), value) == 1) {
      display.baud_rate = static_cast<std::int32_t>(value);
    } else if (key == "code-page" && value > 0 && value < 100000 &&
               varnel::find_code_page(static_cast<std::int32_t>(value)) != nullptr) {
      display.code_page = static_cast<std::int32_t>(value);
    } else if (key == "baud") {
      error =
          "--display " + display.name + ": baud must be 9600, 19200, 38400, 57600 or 115200: '" + item + "'";
      return std::nullopt;
    } else if (key == "code-page") {
      error = "--display " + display.name + ": code page not offered: '" + item + "'";
      return std::nullopt;
    } else {
      error = "--display " + display.name + ": unknown setting '" + item + "' (baud=N, code-page=N)";
      return std::nullopt;
    }
  }
  return display;
}

// HOST:PORT, HOST being an IPv4 address or [IPv6].
bool parse_listen(const std::string& text, BridgeOptions& options) {
  const auto colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  std::string host = text.substr(0, colon);
  if (host.front() == '[') {
    if (host.back() != ']' || host.size() < 3) return false;
    host = host.substr(1, host.size() - 2);
  }
  const auto port = number(text.substr(colon + 1));
  if (!port || *port < 0 || *port > 65535) return false;  // 0: any free port
  options.listen_host = host;
  options.listen_port = static_cast<std::uint16_t>(*port);
  return true;
}

bool valid_origin(const std::string& origin) {
  const bool http = origin.rfind("http://", 0) == 0 || origin.rfind("https://", 0) == 0;
  const auto host_start = origin.find("://") + 3;
  return http && origin.size() > host_start && origin.find('/', host_start) == std::string::npos &&
         origin.find_first_of(" \t*") == std::string::npos;
}

}  // namespace

ParsedOptions parse_options(const std::vector<std::string>& arguments) {
  BridgeOptions options;
  std::set<std::string> names;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& flag = arguments[i];
    if (flag != "--display" && flag != "--listen" && flag != "--allow-origin" && flag != "--token-file")
      return {std::nullopt, "unknown argument '" + flag + "'"};
    if (i + 1 >= arguments.size()) return {std::nullopt, flag + " needs a value"};
    const std::string& value = arguments[++i];
    std::string error;
    if (flag == "--display") {
      auto display = parse_display(value, error);
      if (!display) return {std::nullopt, error};
      if (!names.insert(display->name).second)
        return {std::nullopt, "display '" + display->name + "' named twice"};
      options.displays.push_back(std::move(*display));
    } else if (flag == "--listen") {
      if (!parse_listen(value, options)) return {std::nullopt, "--listen needs HOST:PORT: '" + value + "'"};
    } else if (flag == "--allow-origin") {
      if (!valid_origin(value))
        return {std::nullopt,
                "--allow-origin needs scheme://host[:port] (no wildcard, no path): '" + value + "'"};
      options.allowed_origins.push_back(value);
    } else {
      options.token_file = value;
    }
  }
  if (options.displays.empty()) return {std::nullopt, "at least one --display NAME=PORT is needed"};
  return {std::move(options), {}};
}

std::string usage() {
  return "usage: zorn-display-bridge --display NAME=PORT[,baud=9600][,code-page=437] [--display ...]\n"
         "                           [--listen 127.0.0.1:8765] [--allow-origin ORIGIN ...] [--token-file "
         "FILE]\n";
}

std::string token_from_file_text(const std::string& text) {
  std::string line = text.substr(0, text.find_first_of("\r\n"));
  const auto first = line.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = line.find_last_not_of(" \t");
  return line.substr(first, last - first + 1);
}

}  // namespace bridge
