// What one DisplayText of 20 characters costs end to end on an enabled device, under Wine: the
// Invoke a control object makes, the service object, the Win32 serial writer and the COM port
// (a pseudo-terminal served by the display simulator), beside a bare overlapped WriteFile of the
// same bytes on the same port in the same run. Those are 24 bytes a call: each 20-character text
// starts at a row's end, so the service object moves the cursor to the other row's start (0x1F
// 0x24 0x00 r) before the text, in one write. Batches of the two alternate, so a machine
// that slows down during the run slows both; the medians and their ratio are reported.
//
// Runs by hand under the simulator, which keeps no files so that it drains the line as fast as
// a device would (one command line):
//   scripts/with-simulator.sh --simulator build/native/sim/pole_display_sim
//     --prefix build/win32/wineprefix --port 7 --no-files -- scripts/wine-run.sh
//     build/win32/bench/win32/display_text_bench.exe [batches]

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/win32/bench_support.h"
#include "shared/win32/automation_arguments.h"
#include "tests/support/installed_device.h"
#include "tests/support/varnel_client.h"

namespace {

using kit::bench::now_ns;
using kit::win32::LongArgument;
using test_support::invoke_long;
using test_support::text_argument;

constexpr int kCallsPerBatch = 1000;
constexpr int kWarmUpCalls = 50;
constexpr DISPID kSetPropertyNumber = 3;
constexpr DISPID kOpenService = 6;
constexpr DISPID kClaimDevice = 8;
constexpr DISPID kDisplayText = 16;
constexpr wchar_t kText[] = L"TOTAL         12.34 ";  // 20 characters

// Nanoseconds per DisplayText call over one batch, the device enabled.
double service_object_batch(IDispatch& so) {
  VARIANT text = text_argument(kText);
  VARIANT attribute = LongArgument(0);
  VARIANT arguments[2] = {attribute, text};  // reversed: Attribute, then Data
  DISPPARAMS params{arguments, nullptr, 2, 0};
  const auto call = [&] {
    VARIANT result;
    VariantInit(&result);
    so.Invoke(kDisplayText, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr,
              nullptr);
    VariantClear(&result);
  };
  for (int i = 0; i < kWarmUpCalls; ++i) call();
  const double start = now_ns();
  for (int i = 0; i < kCallsPerBatch; ++i) call();
  const double per_call = (now_ns() - start) / kCallsPerBatch;
  VariantClear(&text);
  return per_call;
}

// Nanoseconds per bare overlapped write of the service object's bytes on COM7 (the move to the
// other row, then the text, rows taken in turn); negative on failure.
double bare_write_batch() {
  HANDLE port = CreateFileW(L"\\\\.\\COM7", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) return -1;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  GetCommState(port, &dcb);
  dcb.BaudRate = 9600;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  SetCommState(port, &dcb);
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  char bytes[2][24];
  for (int row = 0; row < 2; ++row) {
    const char move[4] = {0x1F, 0x24, 0x00, static_cast<char>(row + 1)};
    for (int i = 0; i < 4; ++i) bytes[row][i] = move[i];
    for (int i = 0; i < 20; ++i) bytes[row][4 + i] = static_cast<char>(kText[i]);
  }
  bool ok = true;
  int row = 0;
  const auto write = [&] {
    const char* call_bytes = bytes[row];
    row = 1 - row;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    DWORD written = 0;
    if (!WriteFile(port, call_bytes, sizeof bytes[0], nullptr, &overlapped)) {
      ok = ok && GetLastError() == ERROR_IO_PENDING &&
           GetOverlappedResult(port, &overlapped, &written, TRUE) && written == sizeof bytes[0];
    }
  };
  for (int i = 0; i < kWarmUpCalls; ++i) write();
  const double start = now_ns();
  for (int i = 0; i < kCallsPerBatch; ++i) write();
  const double per_call = (now_ns() - start) / kCallsPerBatch;
  CloseHandle(event);
  CloseHandle(port);
  return ok ? per_call : -1;
}

// The medians of the two series and how they compare.
void report(const std::vector<double>& service_object, const std::vector<double>& bare, long batches) {
  const kit::bench::Spread so_times = kit::bench::spread(service_object);
  const kit::bench::Spread bare_times = kit::bench::spread(bare);
  std::printf(
      "DisplayText(20 characters), enabled, Invoke to COM7: median %.1f us per call (min %.1f, max %.1f)\n",
      so_times.median / 1000, so_times.min / 1000, so_times.max / 1000);
  std::printf(
      "bare overlapped WriteFile(same 24 bytes) to COM7: median %.1f us per call (min %.1f, max %.1f)\n",
      bare_times.median / 1000, bare_times.min / 1000, bare_times.max / 1000);
  // Each batch of the service object ran next to one bare batch: the median of those pairs' ratios
  // is the figure least moved by a machine whose load changes during the run.
  std::vector<double> paired;
  for (std::size_t i = 0; i < service_object.size(); ++i) paired.push_back(service_object[i] / bare[i]);
  std::printf(
      "ratio of the medians %.3f, median of the paired ratios %.3f (%ld batches of %d calls each, "
      "alternating)\n",
      so_times.median / bare_times.median, kit::bench::spread(paired).median, batches, kCallsPerBatch);
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<long> batches =
      kit::bench::count_argument(argc, argv, "display_text_bench", "batches", 21, 1000);
  if (!batches) return 2;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const test_support::InstalledDevice device(L"KitBenchPole", L"7", L"9600");
  kit::win32::ComPtr<IDispatch> so = kit::bench::create_service_object(test_support::varnel_library_path());
  if (!so) {
    std::fprintf(stderr, "display_text_bench: cannot create the service object from %s\n", KIT_VARNEL_DLL);
    return 1;
  }
  invoke_long(*so.get(), kOpenService,
              {text_argument(L"LineDisplay"), text_argument(L"PoleDisplay"), LongArgument(0)});
  invoke_long(*so.get(), kClaimDevice, {LongArgument(1000)});

  std::vector<double> service_object;
  std::vector<double> bare;
  for (long b = 0; b < *batches; ++b) {
    invoke_long(*so.get(), kSetPropertyNumber, {LongArgument(3), LongArgument(1)});
    if (invoke_long(*so.get(), 2, {LongArgument(3)}) != 1) {
      std::fprintf(stderr,
                   "display_text_bench: the device does not enable on COM7 (is the simulator there?)\n");
      return 1;
    }
    service_object.push_back(service_object_batch(*so.get()));
    invoke_long(*so.get(), kSetPropertyNumber, {LongArgument(3), LongArgument(0)});  // the port is free again
    const double write = bare_write_batch();
    if (write < 0) {
      std::fprintf(stderr, "display_text_bench: the bare write on COM7 failed\n");
      return 1;
    }
    bare.push_back(write);
  }
  so.reset();
  CoUninitialize();
  report(service_object, bare, *batches);
  return 0;
}
