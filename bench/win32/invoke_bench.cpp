// What a late-bound DisplayText costs through the automation layer, measured under Wine: the
// Invoke an OPOS Control Object makes for every DisplayText call (argument unpacking,
// coercion, the call itself), with the device not enabled so no serial write is included.
//
// Google Benchmark has no mingw-w64 build on this machine, so this program is its own small
// harness: it times batches of calls and reports the median time per call over the batches.
//   wine build/win32/bench/win32/invoke_bench.exe [batches]

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "service_object/win32/com/guids.h"

namespace {

std::wstring library_path() {
  std::wstring path = L"Z:";
  for (const char c : std::string_view(KIT_VARNEL_DLL))
    path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
  return path;
}

double now_ns() {
  LARGE_INTEGER counter{};
  LARGE_INTEGER frequency{};
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  long batches = 21;
  if (argc > 1) {
    char* end = nullptr;
    batches = std::strtol(argv[1], &end, 10);
    if (end == argv[1] || *end != '\0' || batches < 3 || batches > 10000) {
      std::fprintf(stderr, "usage: invoke_bench [batches, 3 to 10000]\n");
      return 2;
    }
  }
  constexpr int kCallsPerBatch = 2000;

  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  HMODULE library = LoadLibraryW(library_path().c_str());
  if (library == nullptr) {
    std::fprintf(stderr, "invoke_bench: cannot load %s\n", KIT_VARNEL_DLL);
    return 1;
  }
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto get_class_object =
      reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  IDispatch* so = nullptr;
  if (get_class_object == nullptr ||
      FAILED(
          get_class_object(varnel::com::kClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
      FAILED(factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&so)))) {
    std::fprintf(stderr, "invoke_bench: cannot create the service object\n");
    return 1;
  }
  factory->Release();

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
  for (long b = 0; b < batches; ++b) {
    const double start = now_ns();
    for (int i = 0; i < kCallsPerBatch; ++i) {
      VARIANT result;
      VariantInit(&result);
      so->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
      VariantClear(&result);
    }
    per_call.push_back((now_ns() - start) / kCallsPerBatch);
  }
  std::sort(per_call.begin(), per_call.end());
  std::printf(
      "Invoke(DisplayText, 20 characters) under Wine: median %.0f ns per call "
      "(min %.0f, max %.0f; %ld batches of %d calls)\n",
      per_call[per_call.size() / 2], per_call.front(), per_call.back(), batches, kCallsPerBatch);

  VariantClear(&args[1]);
  so->Release();
  CoUninitialize();
  return 0;
}
