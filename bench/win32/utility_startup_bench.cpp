// How long Zorn_Utility.exe takes from its start to its first painted dialog, under Wine with a
// warm wineserver: the time from CreateProcess until the dialog is visible and neither it nor
// any of its controls has anything left to paint. Each run is ended with Cancel before the
// next; the first run only warms up (the program's pages, Wine's libraries).
//
//   wine build/win32/bench/win32/utility_startup_bench.exe [runs]
//
// Google Benchmark has no mingw-w64 build on this machine: like invoke_bench, this program is
// its own small harness, and reports the median, the fastest and the slowest run.

#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/win32/bench_support.h"
#include "tests/support/utility_program.h"

namespace {

constexpr ULONGLONG kRunLimitMs = 30000;

using kit::bench::now_ms;

// Whether `window` or a window below it still waits for WM_PAINT.
bool NeedsPainting(HWND window) {
  // GetUpdateRect: nonzero while the window has an update region.
  if (GetUpdateRect(window, nullptr, FALSE)) return true;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (NeedsPainting(child)) return true;
  }
  return false;
}

struct StartTimes {
  double visible = -1;  // milliseconds to the dialog on the screen
  double painted = -1;  // and to its first complete painting
};

// One start; negative times on failure.
StartTimes TimeOneStart(const std::wstring& program) {
  std::wstring commandLine = L"\"" + program + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  const double started = now_ms();
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return {};
  }
  StartTimes times;
  const ULONGLONG deadline = GetTickCount64() + kRunLimitMs;
  HWND dialog = nullptr;
  while (GetTickCount64() < deadline) {
    if (dialog == nullptr) {
      dialog = zorn::test::UtilityProgram::FindDialog(process.dwProcessId);
      if (dialog != nullptr) times.visible = now_ms() - started;
    }
    if (dialog != nullptr && !NeedsPainting(dialog)) {
      times.painted = now_ms() - started;
      break;
    }
    if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) break;
    Sleep(1);
  }
  if (dialog != nullptr) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<long> runs =
      kit::bench::count_argument(argc, argv, "utility_startup_bench", "runs", 15, 1000);
  if (!runs) return 2;
  const std::wstring program = zorn::test::UtilityProgram::ProgramPath();
  if (TimeOneStart(program).painted < 0) {
    std::fprintf(stderr, "utility_startup_bench: no dialog from %s\n", KIT_ZORN_UTILITY_EXE);
    return 1;
  }
  std::vector<double> visible;
  std::vector<double> painted;
  for (long run = 0; run < *runs; ++run) {
    const StartTimes times = TimeOneStart(program);
    if (times.painted < 0) {
      std::fprintf(stderr, "utility_startup_bench: run %ld showed no dialog\n", run + 1);
      return 1;
    }
    visible.push_back(times.visible);
    painted.push_back(times.painted);
  }
  std::printf(
      "Zorn_Utility.exe, %ld runs: start to visible dialog median %.1f ms; to first painted dialog median "
      "%.1f ms, fastest %.1f ms, slowest %.1f ms\n",
      *runs, kit::bench::spread(visible).median, kit::bench::spread(painted).median,
      kit::bench::spread(painted).min, kit::bench::spread(painted).max);
  return 0;
}
