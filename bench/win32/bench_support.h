#pragma once
// What the Windows benchmarks share: a clock, the one count each takes on its command line, the
// spread of a series of timings, and the service object made straight from the built library's
// class factory (no registration needed).
//
// Google Benchmark has no mingw-w64 build on this machine, so each benchmark is its own small
// harness: it times batches of calls and reports the median time per call over the batches.

#include <windows.h>
#include <oleauto.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "service_object/win32/com/guids.h"
#include "shared/win32/com_resources.h"

namespace kit::bench {

inline double now_ns() {
  LARGE_INTEGER counter{};
  LARGE_INTEGER frequency{};
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

inline double now_ms() { return now_ns() / 1e6; }

// The count of `what` (batches, runs, presses) from the first argument, `fallback` without one;
// nothing, after the usage line on stderr, when it is not a number from 3 to `most`.
inline std::optional<long> count_argument(int argc, char** argv, const char* program, const char* what,
                                          long fallback, long most) {
  if (argc < 2) return fallback;
  char* end = nullptr;
  const long count = std::strtol(argv[1], &end, 10);
  if (argc > 2 || end == argv[1] || *end != '\0' || count < 3 || count > most) {
    std::fprintf(stderr, "usage: %s [%s, 3 to %ld]\n", program, what, most);
    return std::nullopt;
  }
  return count;
}

struct Spread {
  double min = 0;
  double median = 0;
  double max = 0;
};

// The fastest, middle and slowest of `times`, which holds at least one.
inline Spread spread(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return {times.front(), times[times.size() / 2], times.back()};
}

// A new service object from `library_path` (a Windows path), or null. The library stays loaded.
inline win32::ComPtr<IDispatch> create_service_object(const std::wstring& library_path) {
  HMODULE library = LoadLibraryW(library_path.c_str());
  if (library == nullptr) return {};
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto get_class_object =
      reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
  win32::ComPtr<IClassFactory> factory;
  if (get_class_object == nullptr ||
      FAILED(get_class_object(varnel::com::kClassId, IID_IClassFactory, factory.put_void()))) {
    return {};
  }
  win32::ComPtr<IDispatch> object;
  if (FAILED(factory->CreateInstance(nullptr, IID_IDispatch, object.put_void()))) return {};
  return object;
}

}  // namespace kit::bench
