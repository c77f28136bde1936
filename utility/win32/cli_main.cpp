// zorn-utility-cli on Windows: the console front end over the Windows port
// object. Receive notifications reach a message-only window.
#include <windows.h>
#include <shellapi.h>

#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "utility/cli/cli_front_end.h"
#include "utility/core/disk_settings_file.h"
#include "utility/win32/notify_window.h"
#include "utility/win32/program_starter.h"
#include "utility/win32/serial_link.h"

namespace {

// The link's own messages go to the console, not into a window.
void PrintLinkMessage(const std::string& text) { std::cerr << "zorn-utility-cli: " << text << '\n'; }

struct LocalMemoryFree {
  void operator()(LPWSTR* memory) const { LocalFree(memory); }
};

// The arguments after the program's name as UTF-8, read from the wide command line: argv holds
// them in the ANSI code page, which loses every character outside it ("€" under code page 866,
// Cyrillic under 1252).
std::vector<std::string> Utf8Arguments() {
  int count = 0;
  // CommandLineToArgvW: an array to free with LocalFree, null on failure.
  const std::unique_ptr<LPWSTR, LocalMemoryFree> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!wide) throw std::runtime_error("cannot read the command line");
  std::vector<std::string> arguments;
  for (int index = 1; index < count; ++index) {
    const LPCWSTR argument = wide.get()[index];
    // WideCharToMultiByte: the bytes needed with the terminating zero (length -1), 0 on failure.
    const int size = WideCharToMultiByte(CP_UTF8, 0, argument, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 1U, '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, argument, -1, bytes.data(), size, nullptr, nullptr);
    bytes.pop_back();  // the terminating zero
    arguments.push_back(std::move(bytes));
  }
  return arguments;
}

}  // namespace

int main() {
  try {
    const std::vector<std::string> arguments = Utf8Arguments();
    utility::Win32NotificationWaiter waiter;
    if (waiter.Window() == nullptr) {
      std::cerr << "zorn-utility-cli: cannot create the notification window\n";
      return 1;
    }
    utility::CSerialLink link(&PrintLinkMessage);
    link.SetNotifyWindow(waiter.Window());
    utility::DiskSettingsFile settings;
    utility::Win32ProgramStarter starter;
    utility::CliPlatform platform{link, waiter, settings, starter, std::cout, std::cerr};
    return utility::RunUtilityCli(arguments, platform);
  } catch (const std::exception& error) {
    std::cerr << "zorn-utility-cli: " << error.what() << '\n';
    return 1;
  }
}
