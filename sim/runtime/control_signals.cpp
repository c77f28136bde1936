#include "sim/runtime/control_signals.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "sim/runtime/posix_io.h"

namespace sim {
namespace {

std::atomic<bool> g_installed{false};

constexpr std::array kControlSignals = {SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2};

sigset_t control_set() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : kControlSignals) sigaddset(&set, signal);
  return set;
}

ControlSignal meaning(std::uint32_t signal) {
  if (signal == SIGUSR1) return ControlSignal::unplug;
  if (signal == SIGUSR2) return ControlSignal::plug_in;
  return ControlSignal::stop;
}

}  // namespace

ControlSignals::ControlSignals() {
  if (g_installed.exchange(true)) throw std::logic_error("ControlSignals is already installed");
  const sigset_t set = control_set();
  // pthread_sigmask() returns 0 or an error number.
  if (const int error = ::pthread_sigmask(SIG_BLOCK, &set, &previous_mask_); error != 0) {
    g_installed.store(false);
    errno = error;
    throw_errno("cannot block the control signals");
  }
  // signalfd() returns a descriptor, or -1.
  signal_fd_.reset(::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK));
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  // sigaction() returns 0 or -1.
  if (!signal_fd_.is_valid() || ::sigaction(SIGPIPE, &ignore, &previous_pipe_) != 0) {
    const int error = errno;
    signal_fd_.reset();
    ::pthread_sigmask(SIG_SETMASK, &previous_mask_, nullptr);
    g_installed.store(false);
    errno = error;
    throw_errno("cannot take the control signals");
  }
}

ControlSignals::~ControlSignals() {
  // What is still pending is taken first: unblocked, it would act by default.
  static_cast<void>(take());
  signal_fd_.reset();
  ::sigaction(SIGPIPE, &previous_pipe_, nullptr);
  ::pthread_sigmask(SIG_SETMASK, &previous_mask_, nullptr);
  g_installed.store(false);
}

std::vector<ControlSignal> ControlSignals::take() {
  std::vector<ControlSignal> taken;
  std::array<signalfd_siginfo, 8> infos{};
  for (;;) {
    // read() returns whole records, or -1 (EAGAIN once none is pending).
    const ssize_t count = ::read(signal_fd_.get(), infos.data(), sizeof infos);
    if (count <= 0) break;
    const auto records = static_cast<std::size_t>(count) / sizeof(signalfd_siginfo);
    for (std::size_t i = 0; i < records; ++i) taken.push_back(meaning(infos[i].ssi_signo));
  }
  return taken;
}

}  // namespace sim
