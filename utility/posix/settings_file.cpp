#include "utility/core/disk_settings_file.h"

// On a POSIX file system: open(2) without O_CREAT or O_TRUNC, so only an existing file is
// written, over its start.

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "shared/posix/unique_fd.h"

namespace utility {

SettingsFile::Result DiskSettingsFile::OverwriteStart(std::string_view fileName,
                                                      std::span<const std::uint8_t> bytes) {
  const std::string path(fileName);
  const kit::posix::UniqueFd file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  const int openError = errno;
  if (!file.is_valid()) {
    // Only a missing file is "no file"; one that exists but refuses writing
    // (read-only, no write access, a folder of that name) is a failure.
    return openError == ENOENT ? Result::NotOpened : Result::WriteFailed;
  }
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count =
        ::pwrite(file.get(), bytes.data() + written, bytes.size() - written, static_cast<off_t>(written));
    if (count < 0 && errno == EINTR) {
      continue;
    }
    if (count <= 0) {
      return Result::WriteFailed;
    }
    written += static_cast<std::size_t>(count);
  }
  return Result::Written;
}

}  // namespace utility
