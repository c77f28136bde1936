#include "sim/runtime/port_link.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

#include "sim/runtime/posix_io.h"

namespace sim {
namespace {

// The link's target, or an empty string if `path` is not a symbolic link.
std::string read_link(const std::string& path) {
  std::vector<char> buffer(4096);
  // readlink() returns the length (not NUL-terminated) or -1.
  const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
  if (length < 0 || static_cast<std::size_t>(length) == buffer.size()) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

}  // namespace

PortLink::PortLink(std::string link_path, std::string target)
    : link_path_(std::move(link_path)), target_(std::move(target)) {
  struct stat existing {};
  // lstat() returns 0 or -1; ENOENT simply means there is nothing to replace.
  if (::lstat(link_path_.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
    throw std::runtime_error(link_path_ + " exists and is not a symbolic link; not replacing it");
  }
  const std::string temporary = link_path_ + ".tmp." + std::to_string(::getpid());
  ::unlink(temporary.c_str());  // a leftover of an earlier run with the same pid
  // symlink() and rename() return 0 or -1.
  if (::symlink(target_.c_str(), temporary.c_str()) != 0) throw_errno("cannot create the link " + temporary);
  if (::rename(temporary.c_str(), link_path_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    errno = error;
    throw_errno("cannot rename the link to " + link_path_);
  }
}

PortLink::~PortLink() {
  if (read_link(link_path_) == target_) ::unlink(link_path_.c_str());
}

}  // namespace sim
