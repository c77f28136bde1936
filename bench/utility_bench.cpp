// The configuration utility against the display simulator over a pty, at
// 115200 bit/s: the whole glyph-set download and the information round trip,
// through the POSIX port object and the dialog's behaviour.
//
// The download's design floor is 23 exchanges of one frame and its ACK, each
// costing at least the watch thread's two 15 ms burst pauses plus the frame's
// wire time; it is reported beside the measured time as floor_ms, and the
// part of it a pty imposes as pty_floor_ms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <string>

#include "tests/support/simulator_process.h"
#include "utility/core/utility_dialog.h"
#include "utility/posix/cli_platform.h"
#include "utility/posix/serial_link.h"

namespace utility {
namespace {

constexpr int kBaud = 115200;
constexpr int kDownloadFrames = 23;
constexpr double kGlyphFrameBytes = 38.0;
constexpr std::uint32_t kWaitLimitMs = 6000;

// Just enough of a window for the dialog: its selections. What an action came
// to is read from the dialog's outcome.
class BenchView final : public DialogView {
 public:
  void EnableControl(int /*controlId*/, bool /*enabled*/) override {}
  void AddListEntry(int /*listId*/, std::string_view /*entry*/) override {}
  void SelectListEntry(int listId, int index) override { selected_[listId] = index; }
  int SelectedIndex(int listId) const override {
    const auto found = selected_.find(listId);
    return found == selected_.end() ? -1 : found->second;
  }
  std::string EditText(int /*editId*/, std::size_t /*maxChars*/) const override { return {}; }
  void ShowMessage(std::string_view /*text*/, std::string_view /*title*/, MessageIcon /*icon*/) override {}
  void StartTimer(unsigned /*timerId*/, unsigned /*periodMs*/) override {}
  void StopTimer(unsigned /*timerId*/) override {}
  void EndDialog() override {}

 private:
  std::map<int, int> selected_;
};

class NoFile final : public SettingsFile {
 public:
  Result OverwriteStart(std::string_view /*fileName*/, std::span<const std::uint8_t> /*bytes*/) override {
    return Result::NotOpened;
  }
};

class NoProgram final : public ProgramStarter {
 public:
  Places SearchPlaces() const override { return {}; }
  bool IsProgramFile(const std::string& /*path*/) const override { return false; }
  bool Start(const std::string& /*path*/) override { return false; }
};

test_support::SimulatorProcess::Options SimulatorOptions() {
  test_support::SimulatorProcess::Options options;
  options.extra_args = {"--no-speed-check"};
  return options;
}

// The simulator at 115200 (its speed check off: the bench measures the
// exchange, not a speed change) and the utility's port open on it.
class Rig {
 public:
  Rig()
      : simulator_(SimulatorOptions()),
        link_([this] { waiter_.Notify(); }),
        dialog_(view_, link_, settings_, starter_) {
    dialog_.OnInitDialog();
    opened_ = link_.OpenLink(simulator_.port_path(), kBaud, 1);
  }

  bool Opened() const { return opened_; }
  CZorn_UtilityDlg& Dialog() { return dialog_; }
  BenchView& View() { return view_; }

  // Hands notifications to the dialog until its exchange ends; false if
  // the display went quiet first.
  bool Finish() {
    while (dialog_.Pending() != CZorn_UtilityDlg::PendingReply::None) {
      if (!waiter_.WaitForNotification(kWaitLimitMs)) {
        return false;
      }
      dialog_.OnReceiveNotification();
    }
    return true;
  }

 private:
  test_support::SimulatorProcess simulator_;
  CallbackNotificationWaiter waiter_;
  CSerialLink link_;
  BenchView view_;
  NoFile settings_;
  NoProgram starter_;
  CZorn_UtilityDlg dialog_;
  bool opened_ = false;
};

void BM_GlyphDownload(benchmark::State& state) {
  Rig rig;
  if (!rig.Opened()) {
    state.SkipWithError("cannot open the simulator's port");
    return;
  }
  rig.View().SelectListEntry(control_id::kLanguageList, 1);  // (DE) Germany
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    rig.Dialog().OnFontSet();
    if (!rig.Finish() || rig.Dialog().LastOutcome() != ActionOutcome::Downloaded) {
      state.SkipWithError("download did not complete");
      return;
    }
  }
  const double frameWireMs = kGlyphFrameBytes * 10.0 * 1000.0 / kBaud;
  state.counters["floor_ms"] = kDownloadFrames * (2 * 15.0 + frameWireMs);
  // A pty passes bytes without wire time, and the last frame awaits no
  // acknowledgement: what is left is the 22 acknowledged exchanges' pauses.
  state.counters["pty_floor_ms"] = (kDownloadFrames - 1) * 2 * 15.0;
}
BENCHMARK(BM_GlyphDownload)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_InformationRoundTrip(benchmark::State& state) {
  Rig rig;
  if (!rig.Opened()) {
    state.SkipWithError("cannot open the simulator's port");
    return;
  }
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the benchmark loop idiom
    rig.Dialog().OnInformation();
    if (!rig.Finish() || rig.Dialog().LastOutcome() != ActionOutcome::Answered) {
      state.SkipWithError("no information reply");
      return;
    }
  }
}
BENCHMARK(BM_InformationRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

}  // namespace
}  // namespace utility
