// The wall time of one button press of ZornTest.exe, end to end: from the click posted to the
// form until the simulator on COM7 has received the bytes and traced them. The press travels
// the whole road of a request: the form, the Control Object (the test stand-in), VARNEL.dll,
// the serial writer, Wine's serial layer, the pseudo-terminal, the simulator.
//
// Run inside scripts/with-simulator.sh with the simulator on COM7 (one command line):
//   scripts/with-simulator.sh --simulator build/native/sim/pole_display_sim
//     --prefix build/win32/wineprefix --port 7 --
//     scripts/wine-run.sh build/win32/bench/win32/tester_press_bench.exe [presses]

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/win32/bench_support.h"
#include "tester/core/form_controls.h"
#include "tests/support/installed_device.h"
#include "tests/support/simulator_link.h"
#include "tests/support/tester_process.h"

namespace {

using kit::tester_test::RegisteredServer;
using kit::tester_test::TesterProcess;
using kit::tester_test::WindowsPath;
using namespace zorntest::control_id;

using kit::bench::now_ms;

// Milliseconds from the click until the trace holds `lines` more lines; negative when they did
// not come within 10 s.
double TimePress(const TesterProcess& tester, const test_support::SimulatorLink& sim, int button,
                 std::size_t lines) {
  tester.set_text(kText5, L"");
  const std::size_t before = sim.trace().size();
  const double start = now_ms();
  tester.click(button);
  while (sim.trace().size() < before + lines) {
    if (now_ms() - start > 10000) return -1;
    Sleep(0);
  }
  const double elapsed = now_ms() - start;
  // The press has ended once the form has written its status.
  while (tester.text(kText5).empty()) Sleep(1);
  return elapsed;
}

void Report(const char* what, const std::vector<double>& times) {
  const kit::bench::Spread spread = kit::bench::spread(times);
  std::printf("%-34s  presses %3zu  min %7.2f ms  median %7.2f ms  max %7.2f ms\n", what, times.size(),
              spread.min, spread.median, spread.max);
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<long> presses =
      kit::bench::count_argument(argc, argv, "tester_press_bench", "presses", 25, 1000);
  if (!presses) return 2;
  const std::optional<test_support::SimulatorLink> sim = test_support::SimulatorLink::for_port(7);
  if (!sim) {
    std::fprintf(stderr, "tester_press_bench: run inside scripts/with-simulator.sh --port 7\n");
    return 2;
  }
  const RegisteredServer control(WindowsPath(KIT_CONTROL_OBJECT_DLL));
  const RegisteredServer service(WindowsPath(KIT_VARNEL_DLL));
  const test_support::InstalledDevice device(L"KitBenchPole", L"7", L"9600", L"VARNEL.ID_TARVO_VARNEL");
  std::optional<TesterProcess> tester = TesterProcess::start(WindowsPath(KIT_ZORNTEST_EXE));
  if (!control.registered() || !service.registered() || !tester || tester->wait_for_form() == nullptr) {
    std::fprintf(stderr, "tester_press_bench: the tester did not start\n");
    return 1;
  }
  for (const int button : {kCommand1, kCommand2, kCommand3}) {
    if (tester->press(button) != std::optional<std::wstring>(L"OposSuccess")) {
      std::fprintf(stderr, "tester_press_bench: Open, Claim or Device Enable failed\n");
      return 1;
    }
  }
  std::vector<double> clear;
  std::vector<double> text;
  for (long i = 0; i < *presses; ++i) {
    clear.push_back(TimePress(*tester, *sim, kCommand6, 1));
    text.push_back(TimePress(*tester, *sim, kCommand4, 20));
    if (clear.back() < 0 || text.back() < 0) {
      std::fprintf(stderr, "tester_press_bench: the bytes did not arrive\n");
      return 1;
    }
  }
  Report("Clear Text (1 byte)", clear);
  Report("Display Text (20 bytes, last byte)", text);
  tester->click(kCommand11);
  return tester->wait_for_exit() == 0u ? 0 : 1;
}
