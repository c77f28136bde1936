// What a late-bound DisplayText costs through the automation layer, measured under Wine: the
// Invoke an OPOS Control Object makes for every DisplayText call (argument unpacking,
// coercion, the call itself), with the device not enabled so no serial write is included.
//   wine build/win32/bench/win32/invoke_bench.exe [batches]

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "bench/win32/bench_support.h"
#include "tests/support/varnel_client.h"

using kit::bench::now_ns;

int main(int argc, char** argv) {
  const std::optional<long> batches =
      kit::bench::count_argument(argc, argv, "invoke_bench", "batches", 21, 10000);
  if (!batches) return 2;
  constexpr int kCallsPerBatch = 2000;

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  kit::win32::ComPtr<IDispatch> so = kit::bench::create_service_object(test_support::varnel_library_path());
  if (!so) {
    std::fprintf(stderr, "invoke_bench: cannot create the service object from %s\n", KIT_VARNEL_DLL);
    return 1;
  }

  LPOLESTR name = const_cast<LPOLESTR>(L"DisplayText");
  DISPID id = DISPID_UNKNOWN;
  so->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);

  VARIANT args[2];  // reverse order: Attribute, then Data
  VariantInit(&args[0]);
  args[0].vt = VT_I2;  // as a script passes a small literal
  args[0].iVal = 0;
  VariantInit(&args[1]);
  args[1].vt = VT_BSTR;
  args[1].bstrVal = SysAllocString(L"Total       12.34 EU");
  DISPPARAMS params{args, nullptr, 2, 0};

  std::vector<double> per_call;
  for (long b = 0; b < *batches; ++b) {
    const double start = now_ns();
    for (int i = 0; i < kCallsPerBatch; ++i) {
      VARIANT result;
      VariantInit(&result);
      so->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
      VariantClear(&result);
    }
    per_call.push_back((now_ns() - start) / kCallsPerBatch);
  }
  const kit::bench::Spread times = kit::bench::spread(per_call);
  std::printf(
      "Invoke(DisplayText, 20 characters) under Wine: median %.0f ns per call "
      "(min %.0f, max %.0f; %ld batches of %d calls)\n",
      times.median, times.min, times.max, *batches, kCallsPerBatch);

  VariantClear(&args[1]);
  so.reset();
  CoUninitialize();
  return 0;
}
