#pragma once

#include <string>

#include "utility/cli/cli_front_end.h"

namespace utility {

// The names the commands accept (speeds, command sets, default fonts, languages), one a line.
std::string ListNames();

// Writes "zorn-utility-cli: `message`" to the error stream, with a pointer to --help when `code`
// is kExitUsage, and answers `code`.
int Fail(CliPlatform& platform, const std::string& message, int code);

}  // namespace utility
