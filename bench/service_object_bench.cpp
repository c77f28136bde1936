// How long the service object takes to turn an OPOS call into display bytes, without the port:
// the cost an application pays per call on top of the serial write itself.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/null_platform.h"
#include "service_object/core/display_commands.h"
#include "service_object/core/id_tarvo_varnel.h"

namespace {

using namespace varnel;
using bench::EnabledModule;

class NullPort final : public SerialPort {
 public:
  bool open(std::u16string_view, ParitySelector, std::int32_t) override { return true; }
  bool write(std::span<const std::uint8_t> bytes) override {
    benchmark::DoNotOptimize(bytes.data());
    return true;
  }
  void close() override {}
  bool is_open() const override { return true; }
};

void BM_TextToDisplayBytes(benchmark::State& state) {
  const std::u16string text(static_cast<std::size_t>(state.range(0)), u'\u00E9');
  std::array<std::uint8_t, kTransmitBufferSize> out{};
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    benchmark::DoNotOptimize(text_to_display_bytes(text, out));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_TextToDisplayBytes)->Arg(1)->Arg(20)->Arg(64);

void BM_DisplayTextAtEnabled(benchmark::State& state) {
  NullPort port;
  EnabledModule enabled(port);
  ID_TARVO_VARNEL so(enabled.module());
  const std::u16string line = u"Total       12.34 EUR";
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    benchmark::DoNotOptimize(so.DisplayTextAt(1, 0, line, 0));
  }
}
BENCHMARK(BM_DisplayTextAtEnabled);

}  // namespace
