// zorn-utility-cli on Linux and other POSIX systems.
#include <iostream>
#include <string>
#include <vector>

#include "utility/cli/cli_front_end.h"
#include "utility/core/disk_settings_file.h"
#include "utility/posix/cli_platform.h"
#include "utility/posix/serial_link.h"

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    utility::CallbackNotificationWaiter waiter;
    utility::CSerialLink link([&waiter] { waiter.Notify(); });
    utility::DiskSettingsFile settings;
    utility::SpawnProgramStarter starter;
    utility::CliPlatform platform{link, waiter, settings, starter, std::cout, std::cerr};
    return utility::RunUtilityCli(arguments, platform);
  } catch (const std::exception& error) {
    std::cerr << "zorn-utility-cli: " << error.what() << '\n';
    return 1;
  }
}
