// A stand-in for the firmware download tool, for the tests only: it notes that it was started,
// with its command line and what config.data held at that moment, in nuvoisp-started.txt in its
// current directory (the utility's), and ends.
#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*arguments*/, int /*show*/) {
  std::ifstream settings("config.data", std::ios::binary);
  const std::string record = settings ? std::string(std::istreambuf_iterator<char>(settings), {}) : "(none)";
  std::ofstream note("nuvoisp-started.txt", std::ios::binary);
  note << "command line: " << GetCommandLineA() << "\nconfig.data: " << record;
  return note ? 0 : 1;
}
