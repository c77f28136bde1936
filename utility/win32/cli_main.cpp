// zorn-utility-cli on Windows: the console front end over the Windows port
// object. Receive notifications reach a message-only window.
#include <windows.h>

#include <iostream>
#include <string>
#include <vector>

#include "utility/cli/cli_front_end.h"
#include "utility/core/disk_settings_file.h"
#include "utility/win32/notify_window.h"
#include "utility/win32/serial_link.h"
#include "utility/win32/win_exec_starter.h"

namespace {

// The link's own messages go to the console, not into a window.
void PrintLinkMessage(const std::string& text) { std::cerr << "zorn-utility-cli: " << text << '\n'; }

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    utility::Win32NotificationWaiter waiter;
    if (waiter.Window() == nullptr) {
      std::cerr << "zorn-utility-cli: cannot create the notification window\n";
      return 1;
    }
    utility::CSerialLink link(&PrintLinkMessage);
    link.SetNotifyWindow(waiter.Window());
    utility::DiskSettingsFile settings;
    utility::WinExecStarter starter;
    utility::CliPlatform platform{link, waiter, settings, starter, std::cout, std::cerr};
    return utility::RunUtilityCli(arguments, platform);
  } catch (const std::exception& error) {
    std::cerr << "zorn-utility-cli: " << error.what() << '\n';
    return 1;
  }
}
