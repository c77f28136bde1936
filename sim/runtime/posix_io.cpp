#include "sim/runtime/posix_io.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace sim {

void throw_errno(const std::string& what) { throw std::system_error(errno, std::generic_category(), what); }

void write_all(int fd, std::string_view data, const std::string& what) {
  while (!data.empty()) {
    // write() returns the count written (possibly short) or -1.
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      throw_errno(what);
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace sim
