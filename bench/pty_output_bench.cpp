// What one DisplayText of a 20-character line costs natively, end to end below the OPOS call:
// the service object encodes the text into its transmit buffer and the POSIX writer hands the
// bytes to a pseudo-terminal, whose other end a thread drains as a display would.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "bench/null_platform.h"
#include "service_object/core/id_tarvo_varnel.h"
#include "service_object/posix/serial_writer.h"

namespace {

using namespace varnel;
using bench::EnabledModule;

// A pseudo-terminal whose master end is read and discarded by a thread for as long as it lives.
class DrainedPty {
 public:
  DrainedPty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    char path[64] = {};
    if (::ptsname_r(master_, path, sizeof path) != 0) return;
    slave_path_ = path;
    drain_ = std::thread([this] {
      char buffer[256];
      while (!stop_.load()) {
        pollfd pfd{master_, POLLIN, 0};
        if (::poll(&pfd, 1, 20) > 0 && ::read(master_, buffer, sizeof buffer) < 0) break;
      }
    });
  }
  ~DrainedPty() {
    stop_.store(true);
    if (drain_.joinable()) drain_.join();
    if (master_ >= 0) ::close(master_);
  }
  DrainedPty(const DrainedPty&) = delete;
  DrainedPty& operator=(const DrainedPty&) = delete;

  [[nodiscard]] const std::string& slave_path() const { return slave_path_; }

 private:
  int master_ = -1;
  std::string slave_path_;
  std::atomic<bool> stop_{false};
  std::thread drain_;
};

void BM_DisplayText20ToPty(benchmark::State& state) {
  DrainedPty pty;
  if (pty.slave_path().empty()) {
    state.SkipWithError("no pseudo-terminal");
    return;
  }
  PosixSerialWriter port({{u"COM1", pty.slave_path()}});
  if (!port.open(u"COM1", ParitySelector::kNone, 115200)) {
    state.SkipWithError("cannot open the pseudo-terminal");
    return;
  }
  EnabledModule enabled(port);
  ID_TARVO_VARNEL so(enabled.module());
  const std::u16string line = u"Total       12.34 EU";
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    benchmark::DoNotOptimize(so.DisplayText(line, 0));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_DisplayText20ToPty)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
