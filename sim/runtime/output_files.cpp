#include "sim/runtime/output_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>

#include "sim/runtime/posix_io.h"

namespace sim {
namespace {

// Far more than the text of any flash; a bigger file is not one.
constexpr std::size_t kMaxFlashFileSize = std::size_t{64} * 1024;

}  // namespace

WholeFile::WholeFile(std::string path)
    : path_(std::move(path)), temporary_path_(path_ + ".tmp." + std::to_string(::getpid())) {}

void WholeFile::write(std::string_view text) {
  {
    kit::posix::UniqueFd file(
        ::open(temporary_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file.is_valid()) throw_errno("cannot create " + temporary_path_);
    write_all(file.get(), text, "cannot write " + temporary_path_);
  }
  // rename() returns 0 or -1.
  if (::rename(temporary_path_.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary_path_.c_str());
    errno = error;
    throw_errno("cannot rename " + temporary_path_ + " to " + path_);
  }
}

FlashSettings FlashFile::load() const {
  const std::string& path = file_.path();
  const kit::posix::UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.is_valid()) {
    if (errno == ENOENT) return FlashSettings{};  // a new display: factory settings
    throw_errno("cannot open the flash file " + path);
  }
  std::string text;
  std::array<char, 4096> buffer;
  for (;;) {
    // read() returns the count, 0 at end of file, or -1.
    const ssize_t count = ::read(file.get(), buffer.data(), buffer.size());
    if (count == 0) break;
    if (count < 0) {
      if (errno == EINTR) continue;
      throw_errno("cannot read the flash file " + path);
    }
    text.append(buffer.data(), static_cast<std::size_t>(count));
    if (text.size() > kMaxFlashFileSize) throw std::runtime_error("the flash file " + path + " is too large");
  }
  Parsed<FlashSettings> parsed = parse_flash(text);
  if (!parsed.value) throw std::runtime_error("the flash file " + path + " is damaged: " + parsed.error);
  return *parsed.value;
}

TraceFile::TraceFile(const std::string& path)
    : path_(path), fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644)) {
  if (!fd_.is_valid()) throw_errno("cannot create " + path);
}

void TraceFile::append(const TraceLines& lines) {
  std::string batch;
  for (const std::string& line : lines) batch += line + "\n";
  write_all(fd_.get(), batch, "cannot write " + path_);
}

}  // namespace sim
