#include "sim/output_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "sim/posix_io.h"

namespace sim {

StateFile::StateFile(std::string path)
    : path_(std::move(path)), temporary_path_(path_ + ".tmp." + std::to_string(::getpid())) {}

void StateFile::write(const DisplayState& state) {
  {
    UniqueFd file(::open(temporary_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file.valid()) throw_errno("cannot create " + temporary_path_);
    write_all(file.get(), format_state(state), "cannot write " + temporary_path_);
  }
  // rename() returns 0 or -1.
  if (::rename(temporary_path_.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary_path_.c_str());
    errno = error;
    throw_errno("cannot rename " + temporary_path_ + " to " + path_);
  }
}

TraceFile::TraceFile(const std::string& path)
    : path_(path), fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644)) {
  if (!fd_.valid()) throw_errno("cannot create " + path);
}

void TraceFile::append(const TraceLines& lines) {
  std::string batch;
  for (const std::string& line : lines) batch += line + "\n";
  write_all(fd_.get(), batch, "cannot write " + path_);
}

}  // namespace sim
