#pragma once
// What the Windows benchmarks share: a clock, and the service object made straight from the
// built library's class factory (no registration needed).
//
// Google Benchmark has no mingw-w64 build on this machine, so each benchmark is its own small
// harness: it times batches of calls and reports the median time per call over the batches.

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "service_object/win32/com/guids.h"

namespace varnel::bench {

inline double now_ns() {
  LARGE_INTEGER counter{};
  LARGE_INTEGER frequency{};
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) * 1e9 / static_cast<double>(frequency.QuadPart);
}

// A new service object from `library_path` (a Windows path), or null. The library stays loaded.
inline IDispatch* create_service_object(const std::wstring& library_path) {
  HMODULE library = LoadLibraryW(library_path.c_str());
  if (library == nullptr) return nullptr;
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto get_class_object =
      reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  if (get_class_object == nullptr ||
      FAILED(get_class_object(com::kClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
    return nullptr;
  }
  IDispatch* object = nullptr;
  factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object));
  factory->Release();
  return object;
}

}  // namespace varnel::bench
