#include "utility/win32/win_exec_starter.h"

#include <windows.h>

#include <string>

namespace utility {

bool WinExecStarter::Start(std::string_view commandLine) {
  const std::string command(commandLine);
  // WinExec: a value above 31 once the program runs, an error code otherwise.
  return ::WinExec(command.c_str(), SW_SHOW) > 31;
}

}  // namespace utility
