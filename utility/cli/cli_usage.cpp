#include "utility/cli/cli_usage.h"

#include <cstdint>
#include <string>
#include <string_view>

#include "utility/cli/cli_commands.h"
#include "utility/core/language_font_table.h"
#include "utility/core/selection_lists.h"

namespace utility {

std::string ListNames() {
  std::string text = "Speeds:";
  for (const std::uint32_t rate : kBaudRates) {
    text += " " + std::to_string(rate);
  }
  text += "\nCommand sets:\n";
  for (const std::string_view name : kCommandSets) {
    text += "  " + std::string(name) + "\n";
  }
  text += "Default fonts:\n";
  for (const std::string_view name : kDefaultFonts) {
    text += "  " + std::string(name) + "\n";
  }
  text += "Languages:\n";
  for (int row = 0; !LanguageEntryAt(row).empty(); ++row) {
    text += "  " + std::string(LanguageEntryAt(row)) + "\n";
  }
  return text;
}

int Fail(CliPlatform& platform, const std::string& message, int code) {
  platform.err << "zorn-utility-cli: " << message << '\n';
  if (code == kExitUsage) {
    platform.err << "Try 'zorn-utility-cli --help'.\n";
  }
  return code;
}

std::string CliUsage() {
  return "Usage: zorn-utility-cli --port PORT [--baud RATE] [--timeout-ms N] [--code-page N] COMMAND [ARGS]\n"
         "\n"
         "Configures the customer display on PORT over its serial line.\n"
         "\n"
         "Options:\n"
         "  --port PORT       COM1 to COM20, or a device path such as /dev/ttyUSB0\n"
         "  --baud RATE       the display's present speed: 9600 (default), 19200, 38400,\n"
         "                    57600 or 115200\n"
         "  --timeout-ms N    how long 'info' waits for the reply (default 3000)\n"
         "  --code-page N     the display's code page, into which 'text' converts its\n"
         "                    lines: 437 (default), 737, 850, 852, 858, 860, 862, 863,\n"
         "                    864, 865, 866, 1251, 1252, 1253 or 1257\n"
         "  -h, --help        this text\n"
         "\n" +
         CommandUsage() +
         "\n"
         "Names are matched without regard to case. Exit codes: 0 done, 2 wrong command line,\n"
         "3 port not opened, 4 no answer from the display, 5 firmware hand-over failed.\n";
}

}  // namespace utility
