// Whatever arrives on the simulated display's line: text, commands, configuration frames, in any
// mix and split. The same stream must give the same state, trace and replies however it is cut
// into reads (in download mode the display traces one line per read, so there only the number of
// bytes it took must agree); the cursor stays on the screen; the state file text reads back as
// the same state.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "sim/model/display_firmware.h"
#include "sim/model/observable_state.h"

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

struct Outcome {
  sim::ObservableState state;
  sim::TraceLines trace;  // without the download-mode lines
  std::size_t download_bytes = 0;
  sim::Replies replies;
};

void take_trace(sim::DisplayFirmware& display, Outcome& outcome) {
  constexpr std::string_view kDownload = "download-mode bytes n=";
  for (std::string& line : display.take_trace()) {
    if (line.starts_with(kDownload)) {
      outcome.download_bytes += std::stoul(line.substr(kDownload.size()));
    } else {
      outcome.trace.push_back(std::move(line));
    }
  }
}

Outcome feed(std::span<const std::uint8_t> stream, std::span<const std::uint8_t> cuts) {
  sim::DisplayFirmware display;
  Outcome outcome;
  std::size_t next_cut = 0;
  while (!stream.empty()) {
    // Each cut byte gives the length of the next read, 1 to 16; without cuts, one read.
    const std::size_t length = cuts.empty() ? stream.size() : 1 + cuts[next_cut++ % cuts.size()] % 16;
    const auto read = stream.first(std::min(length, stream.size()));
    display.receive(read);
    stream = stream.subspan(read.size());
    take_trace(display, outcome);
    const sim::Replies replies = display.take_replies();
    outcome.replies.insert(outcome.replies.end(), replies.begin(), replies.end());
  }
  outcome.state = display.state();
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte says how many of the last bytes are read lengths rather than line bytes.
  const std::size_t cut_count = std::min<std::size_t>(data[0] % 32, size - 1);
  const std::span<const std::uint8_t> all(data + 1, size - 1);
  const auto stream = all.first(all.size() - cut_count);
  const auto cuts = all.last(cut_count);

  const Outcome whole = feed(stream, {});
  const Outcome pieces = feed(stream, cuts);
  require(whole.state == pieces.state);
  require(whole.trace == pieces.trace);
  require(whole.download_bytes == pieces.download_bytes);
  require(whole.replies == pieces.replies);

  const sim::ObservableState& state = whole.state;
  require(state.cursor_row < sim::kRows && state.cursor_col < sim::kColumns);
  require(state.bytes_received == stream.size());
  const sim::Parsed<sim::ObservableState> read_back = sim::parse_state(sim::format_state(state));
  require(read_back.value.has_value() && *read_back.value == state);
  return 0;
}
