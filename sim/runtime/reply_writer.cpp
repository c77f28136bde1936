#include "sim/runtime/reply_writer.h"

#include <unistd.h>

#include <cerrno>

#include "sim/runtime/posix_io.h"

namespace sim {

void ReplyWriter::schedule(Clock::time_point due, Bytes bytes) { held_.emplace(due, std::move(bytes)); }

std::optional<ReplyWriter::Clock::time_point> ReplyWriter::next_due() const {
  if (held_.empty()) return std::nullopt;
  return held_.begin()->first;
}

TraceLines ReplyWriter::release_due(Clock::time_point now, bool garbled) {
  TraceLines lines;
  while (!held_.empty() && held_.begin()->first <= now) {
    const Bytes bytes = garbled ? garble(held_.begin()->second) : held_.begin()->second;
    held_.erase(held_.begin());
    const std::string count = std::to_string(bytes.size());
    if (pending_.size() + bytes.size() > kMaxPending) {
      lines.push_back("reply dropped n=" + count);
      continue;
    }
    pending_.append(bytes.begin(), bytes.end());
    if (garbled) lines.push_back("reply garbled n=" + count);
  }
  return lines;
}

void ReplyWriter::write_some(int fd) {
  while (!pending_.empty()) {
    // write() returns the count written (possibly short) or -1.
    const ssize_t written = ::write(fd, pending_.data(), pending_.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return;
      throw_errno("cannot write to the port");
    }
    pending_.erase(0, static_cast<std::size_t>(written));
  }
}

}  // namespace sim
