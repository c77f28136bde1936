// Holds a library loaded, as a running POS application holds the service object, so that the
// setup program and its removal meet a file in use.
//
//   library_holder.exe LIBRARY RELEASE_FILE
//
// Loads LIBRARY, prints "loaded" and waits until RELEASE_FILE exists, then unloads it and ends.
// Exit code 0 after the release, 1 when the library could not be loaded, 3 when no release came
// within five minutes (the bound keeps a failed test from leaving the program behind), 2 on a
// wrong command line.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <type_traits>

namespace {

constexpr auto kLongestHold = std::chrono::minutes(5);
constexpr auto kPollInterval = std::chrono::milliseconds(50);

struct LibraryDeleter {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryDeleter>;

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: library_holder LIBRARY RELEASE_FILE\n");
    return 2;
  }
  // LoadLibraryW: null on failure.
  const Library library(LoadLibraryW(argv[1]));
  if (!library) {
    std::fprintf(stderr, "library holder: LoadLibrary failed with error %lu\n", GetLastError());
    return 1;
  }
  std::printf("loaded\n");
  std::fflush(stdout);
  const auto deadline = std::chrono::steady_clock::now() + kLongestHold;
  // GetFileAttributesW: INVALID_FILE_ATTRIBUTES while the file does not exist.
  while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES) {
    if (std::chrono::steady_clock::now() >= deadline) {
      std::fprintf(stderr, "library holder: no release within the bound\n");
      return 3;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  std::printf("released\n");
  return 0;
}
