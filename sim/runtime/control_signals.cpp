#include "sim/runtime/control_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iterator>
#include <stdexcept>

#include "sim/runtime/posix_io.h"

namespace sim {
namespace {

// The handler can reach only a lock-free atomic; it holds the pipe's write end.
std::atomic<int> g_wake_fd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr char kStop = 's';
constexpr char kUnplug = 'u';
constexpr char kPlugIn = 'p';

extern "C" void wake_on_signal(int signal) {
  const int saved_errno = errno;
  const int fd = g_wake_fd.load();
  const char letter = signal == SIGUSR1 ? kUnplug : signal == SIGUSR2 ? kPlugIn : kStop;
  // A full pipe (thousands of signals not yet taken) loses the newest.
  if (fd >= 0) {
    const ssize_t written = ::write(fd, &letter, 1);
    static_cast<void>(written);
  }
  errno = saved_errno;
}

struct Disposition {
  int signal;
  void (*handler)(int);
};

// SIG_IGN is a cast, so this table cannot be constexpr.
const Disposition kDispositions[] = {
    {SIGTERM, wake_on_signal}, {SIGINT, wake_on_signal},  {SIGHUP, wake_on_signal},
    {SIGUSR1, wake_on_signal}, {SIGUSR2, wake_on_signal}, {SIGPIPE, SIG_IGN},
};

}  // namespace

ControlSignals::ControlSignals() {
  int ends[2];
  // pipe2() returns 0 or -1.
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) throw_errno("cannot create the signal pipe");
  read_end_.reset(ends[0]);
  write_end_.reset(ends[1]);
  int expected = -1;
  if (!g_wake_fd.compare_exchange_strong(expected, write_end_.get())) {
    throw std::logic_error("ControlSignals is already installed");
  }
  for (const Disposition& disposition : kDispositions) {
    struct sigaction action {};
    action.sa_handler = disposition.handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // sigaction() returns 0 or -1.
    if (installed_ == previous_.size()) throw std::logic_error("more dispositions than saved slots");
    if (::sigaction(disposition.signal, &action, &previous_[installed_]) != 0) {
      const int error = errno;
      restore();
      errno = error;
      throw_errno("cannot install a signal handler");
    }
    ++installed_;
  }
}

ControlSignals::~ControlSignals() { restore(); }

std::vector<ControlSignal> ControlSignals::take() {
  std::vector<ControlSignal> taken;
  std::array<char, 64> letters;
  for (;;) {
    // read() returns the count, or -1 (EAGAIN once the pipe is empty).
    const ssize_t count = ::read(read_end_.get(), letters.data(), letters.size());
    if (count <= 0) break;
    for (ssize_t i = 0; i < count; ++i) {
      const char letter = letters[static_cast<std::size_t>(i)];
      taken.push_back(letter == kUnplug   ? ControlSignal::unplug
                      : letter == kPlugIn ? ControlSignal::plug_in
                                          : ControlSignal::stop);
    }
  }
  return taken;
}

void ControlSignals::restore() {
  while (installed_ > 0) {
    --installed_;
    ::sigaction(kDispositions[installed_].signal, &previous_[installed_], nullptr);
  }
  g_wake_fd.store(-1);
}

}  // namespace sim
