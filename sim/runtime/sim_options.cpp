#include "sim/runtime/sim_options.h"

#include <optional>

namespace sim {
namespace {

struct PathOption {
  std::string_view name;
  std::string SimOptions::*field;
};

constexpr PathOption kPathOptions[] = {
    {"--link", &SimOptions::link},        {"--device", &SimOptions::device},
    {"--state", &SimOptions::state_file}, {"--trace", &SimOptions::trace_file},
    {"--flash", &SimOptions::flash_file}, {"--dots", &SimOptions::dots_file},
    {"--png", &SimOptions::png_file},     {"--capture", &SimOptions::capture_file},
};

struct FlagOption {
  std::string_view name;
  bool SimOptions::*field;
};

constexpr FlagOption kFlagOptions[] = {
    {"--quiet", &SimOptions::quiet},
    {"--help", &SimOptions::help},
};

constexpr std::string_view kFaultOption = "--fault";
constexpr std::string_view kNoSpeedCheck = "--no-speed-check";

// The value of an option at `index`: after '=' or as the next argument (which
// must not look like an option). Nothing if there is none.
std::optional<std::string_view> option_value(std::span<const std::string_view> arguments, std::size_t& index,
                                             std::size_t name_size) {
  const std::string_view argument = arguments[index];
  if (name_size < argument.size()) return argument.substr(name_size + 1);
  if (index + 1 < arguments.size() && !arguments[index + 1].starts_with("--")) return arguments[++index];
  return std::nullopt;
}

}  // namespace

Parsed<SimOptions> parse_options(std::span<const std::string_view> arguments) {
  using Result = Parsed<SimOptions>;
  SimOptions options;
  for (std::size_t index = 0; index < arguments.size(); ++index) {
    const std::string_view argument = arguments[index];
    const std::string_view name = argument.substr(0, argument.find('='));
    bool known = false;

    for (const FlagOption& flag : kFlagOptions) {
      if (argument != flag.name) continue;
      if (options.*flag.field) return Result::failure(std::string(flag.name) + " given twice");
      options.*flag.field = known = true;
    }
    if (argument == kNoSpeedCheck) {
      if (!options.speed_check) return Result::failure(std::string(kNoSpeedCheck) + " given twice");
      options.speed_check = false;
      known = true;
    }
    if (name == kFaultOption) {
      known = true;
      const std::optional<std::string_view> value = option_value(arguments, index, name.size());
      if (!value) return Result::failure(std::string(kFaultOption) + " needs a mode");
      Parsed<FaultModes> faults = add_fault_modes(*value, options.faults);
      if (!faults.value) return Result::failure(faults.error);
      options.faults = *faults.value;
    }
    for (const PathOption& option : kPathOptions) {
      if (name != option.name) continue;
      known = true;
      const std::optional<std::string_view> value = option_value(arguments, index, name.size());
      if (!value || value->empty()) return Result::failure(std::string(option.name) + " needs a path");
      if (!(options.*option.field).empty()) return Result::failure(std::string(option.name) + " given twice");
      options.*option.field = std::string(*value);
    }
    if (!known) return Result::failure("unknown argument '" + std::string(argument) + "'");
  }
  return Result::success(options);
}

std::string usage_text() {
  return "usage: pole_display_sim [--link PATH] [--device PATH] [--state FILE] [--trace FILE]\n"
         "                        [--flash FILE] [--dots FILE] [--png FILE] [--capture FILE]\n"
         "                        [--fault MODE[,MODE...]]...\n"
         "                        [--no-speed-check] [--quiet] [--help]\n"
         "\n"
         "A simulated two-line, twenty-column pole display on a pseudo-terminal.\n"
         "\n"
         "  --link PATH       also make PATH a symbolic link to the port once ready;\n"
         "                    removed on exit\n"
         "  --device PATH     serve this terminal device instead of a new pseudo-terminal\n"
         "  --state FILE      rewrite FILE with the display state after every change\n"
         "  --trace FILE      write one line per decoded command or frame to FILE\n"
         "  --flash FILE      keep the display's flash (command set, default font,\n"
         "                    language, baud code, downloaded glyphs) in FILE: read at\n"
         "                    start if it exists, rewritten after every change\n"
         "  --dots FILE       rewrite FILE with the screen as a 5x8 dot-matrix picture\n"
         "                    ('#' lit, '.' dark) after every change\n"
         "  --png FILE        rewrite FILE with a PNG picture of the display as a\n"
         "                    customer sees it after every change\n"
         "  --capture FILE    write every byte read from the line to FILE, raw and in\n"
         "                    order, as it arrives (emptied at start)\n"
         "  --fault MODE      misbehave on purpose; may be repeated, or a comma list:\n"
         "                      no-ack          never acknowledge glyph blocks\n"
         "                      no-ack-after=N  acknowledge only the first N glyph blocks\n"
         "                      nak-last        acknowledge with 06 15\n"
         "                      nak-first       acknowledge with 15 06\n"
         "                      delay=MS        send every reply MS milliseconds late\n"
         "                      silence         never reply\n"
         "                      burst=N         answer the information request with N bytes\n"
         "                      split-info      send the information record in two parts,\n"
         "                                      21 bytes, then the rest 100 ms later\n"
         "                      late-ack        send an acknowledgement 100 ms before the\n"
         "                                      information record\n"
         "                      hangup-after=N  acknowledge N glyph blocks, then drop the\n"
         "                                      line at the next one (the host sees a hang-up)\n"
         "                      chatter=MS      answer unacknowledged glyph blocks with a NAK\n"
         "                                      every MS milliseconds, without end\n"
         "  --no-speed-check  decode bytes whatever speed the host's port is set to\n"
         "                    (by default bytes sent at a speed other than the\n"
         "                    display's arrive as garbage, and so do its replies)\n"
         "  --quiet           no live picture of the screen\n"
         "  --help            show this text and exit\n"
         "\n"
         "The display starts at 9600 bit/s, or at the flash's baud code, and sets its\n"
         "pseudo-terminal to that speed. The firmware download request (frame 0x40)\n"
         "leaves it deaf to everything until it is restarted.\n"
         "\n"
         "Prints 'port: PATH' when ready; ends on SIGTERM or SIGINT. SIGUSR1 unplugs\n"
         "the display (its port hangs up and goes away), SIGUSR2 plugs it back in on a\n"
         "new port under the same link.\n";
}

}  // namespace sim
