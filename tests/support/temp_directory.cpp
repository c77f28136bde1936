#include "tests/support/temp_directory.h"

#include <stdlib.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <vector>

namespace test_support {

TempDirectory::TempDirectory(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + ".XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  // mkdtemp() returns the filled-in template or nullptr.
  if (::mkdtemp(buffer.data()) == nullptr) {
    throw std::system_error(errno, std::generic_category(), "cannot create a directory like " + pattern);
  }
  path_ = buffer.data();
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace test_support
