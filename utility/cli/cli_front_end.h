#pragma once

#include <ostream>
#include <span>
#include <string>

#include "utility/core/dialog_view.h"
#include "utility/core/utility_link.h"

namespace utility {

// zorn-utility-cli: the utility's dialog without a window, for technicians
// and scripts. It drives the same dialog behaviour as the window does: the
// command line chooses the list entries and fills the edit boxes, presses one
// button, then waits for the exchange the button started to finish.
//
//   zorn-utility-cli --port COM4|/dev/ttyUSB0 [--baud 9600] [--timeout-ms N] [--code-page 437]
//                    COMMAND [ARGS]
//
// The arguments are UTF-8 text; `text` converts its lines to the display's
// code page (--code-page) before they are sent.
//
// Exit codes (kExit...): 0 done; 2 the command line is wrong; 3 the port
// could not be opened; 4 the display did not answer in time or its reply
// overflowed the receive ring; 5 config.data could not be written or the
// firmware tool could not be started.

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPort = 3;
inline constexpr int kExitNoAnswer = 4;
inline constexpr int kExitHandOver = 5;

// What the front end runs on: the platform's port object, a way to wait for
// its notifications, the settings file and the tool starter.
struct CliPlatform {
  UtilityLink& link;
  NotificationWaiter& waiter;
  SettingsFile& settings;
  ProgramStarter& starter;
  std::ostream& out;
  std::ostream& err;
};

// The help text, also printed by --help.
std::string CliUsage();

// Runs one command line (the arguments after the program name) and answers
// the exit code.
int RunUtilityCli(std::span<const std::string> arguments, CliPlatform& platform);

}  // namespace utility
