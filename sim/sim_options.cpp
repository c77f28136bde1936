#include "sim/sim_options.h"

namespace sim {
namespace {

struct PathOption {
  std::string_view name;
  std::string SimOptions::*field;
};

constexpr PathOption kPathOptions[] = {
    {"--link", &SimOptions::link},
    {"--device", &SimOptions::device},
    {"--state", &SimOptions::state_file},
    {"--trace", &SimOptions::trace_file},
};

struct FlagOption {
  std::string_view name;
  bool SimOptions::*field;
};

constexpr FlagOption kFlagOptions[] = {
    {"--quiet", &SimOptions::quiet},
    {"--help", &SimOptions::help},
};

}  // namespace

OptionsResult parse_options(std::span<const std::string_view> arguments) {
  SimOptions options;
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string_view argument = arguments[index];
    const std::string_view name = argument.substr(0, argument.find('='));
    bool known = false;

    for (const FlagOption& flag : kFlagOptions) {
      if (argument != flag.name) continue;
      if (options.*flag.field) return {std::nullopt, std::string(flag.name) + " given twice"};
      options.*flag.field = known = true;
    }
    for (const PathOption& option : kPathOptions) {
      if (name != option.name) continue;
      known = true;
      std::string_view value;
      if (name.size() < argument.size()) {
        value = argument.substr(name.size() + 1);
      } else if (index + 1 < arguments.size() && !arguments[index + 1].starts_with("--")) {
        value = arguments[++index];
      } else {
        return {std::nullopt, std::string(option.name) + " needs a path"};
      }
      if (value.empty()) return {std::nullopt, std::string(option.name) + " needs a path"};
      if (!(options.*option.field).empty()) return {std::nullopt, std::string(option.name) + " given twice"};
      options.*option.field = std::string(value);
    }
    if (!known) return {std::nullopt, "unknown argument '" + std::string(argument) + "'"};
  }
  return {options, {}};
}

std::string usage_text() {
  return "usage: pole_display_sim [--link PATH] [--device PATH] [--state FILE] [--trace FILE]\n"
         "                        [--quiet] [--help]\n"
         "\n"
         "A simulated two-line, twenty-column pole display on a pseudo-terminal.\n"
         "\n"
         "  --link PATH    also make PATH a symbolic link to the port once ready;\n"
         "                 removed on exit\n"
         "  --device PATH  serve this terminal device instead of a new pseudo-terminal\n"
         "  --state FILE   rewrite FILE with the display state after every change\n"
         "  --trace FILE   write one line per decoded command to FILE\n"
         "  --quiet        no live picture of the screen\n"
         "  --help         show this text and exit\n"
         "\n"
         "Prints 'port: PATH' when ready; ends on SIGTERM or SIGINT.\n";
}

}  // namespace sim
