#pragma once
// Shared by the deliverables' POSIX layers and the simulator: header only, nothing to link.
// Owns one POSIX file descriptor, the way the Win32 handle owners beside it (shared/win32)
// own a handle: closed when the owner goes, moved but never copied.

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace kit::posix {

class UniqueFd {
 public:
  UniqueFd() noexcept = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  ~UniqueFd() { reset(); }

  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  int get() const noexcept { return fd_; }
  bool is_valid() const noexcept { return fd_ >= 0; }
  explicit operator bool() const noexcept { return is_valid(); }

  // Gives up ownership without closing.
  int release() noexcept { return std::exchange(fd_, -1); }

  // Closes the held descriptor (if any) and takes `fd`. The caller's errno survives the close,
  // so `fd.reset(); throw_errno(...)` reports the failure that came before. close() answers 0
  // or -1; after -1 the descriptor is gone all the same on Linux, so there is nothing to retry.
  void reset(int fd = -1) noexcept {
    const int old = std::exchange(fd_, fd);
    if (old >= 0) {
      const int saved_errno = errno;
      ::close(old);
      errno = saved_errno;
    }
  }

 private:
  int fd_ = -1;
};

}  // namespace kit::posix
