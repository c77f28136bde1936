// How long the service object takes to turn an OPOS call into display bytes, without the port:
// the cost an application pays per call on top of the serial write itself.

#include <benchmark/benchmark.h>

#include <string>

#include "service_object/core/display_commands.h"
#include "service_object/core/id_tarvo_varnel.h"

namespace {

using namespace varnel;

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

class NoRegistry final : public ConfigRegistry {
 public:
  std::unique_ptr<RegistryKey> open_for_reading(std::u16string_view) override { return nullptr; }
};

class NoFiles final : public TextFileReader {
 public:
  std::optional<std::string> read(std::u16string_view, std::size_t) override { return std::nullopt; }
};

class SilentMessages final : public MessageSink {
 public:
  void show(std::u16string_view) override {}
};

class NotWow64 final : public ProcessInfo {
 public:
  bool is_wow64() override { return false; }
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
  NoRegistry registry;
  NoFiles files;
  SilentMessages messages;
  NotWow64 process;
  ServiceModule module(ServicePlatform{port, registry, files, messages, process});
  module.state().port_open = true;  // as after a successful enable
  ID_TARVO_VARNEL so(module);
  const std::u16string line = u"Total       12.34 EUR";
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    benchmark::DoNotOptimize(so.DisplayTextAt(1, 0, line, 0));
  }
}
BENCHMARK(BM_DisplayTextAtEnabled);

}  // namespace
