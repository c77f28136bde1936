#pragma once
// Shared pieces of the VARNEL.dll tests: the library loaded into the test process with its four
// exports, argument lists for IDispatch::Invoke, and a watcher that answers message boxes.

// First: <windows.h> without the macros that clash with OPOS method names.
#include "service_object/win32/opos_names.h"
#include <oaidl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "service_object/win32/com/com_resources.h"
#include "shared/win32/automation_arguments.h"
#include "tests/support/message_box_watcher.h"
#include "tests/support/varnel_client.h"

namespace varnel::test {

using com::ComPtr;
using com::UniqueBstr;
using com::UniqueVariant;
using test_support::MessageBoxCollector;
using test_support::MessageBoxWatcher;
using test_support::SeenBox;
using test_support::varnel_library_path;

// VARNEL.dll, loaded by the path the build passes in (KIT_VARNEL_DLL), and its exports.
class LoadedServer {
 public:
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  using EntryPoint = HRESULT(STDAPICALLTYPE*)();

  LoadedServer();
  ~LoadedServer();
  LoadedServer(const LoadedServer&) = delete;
  LoadedServer& operator=(const LoadedServer&) = delete;

  [[nodiscard]] bool complete() const {
    return module_ != nullptr && get_class_object != nullptr && can_unload_now != nullptr &&
           register_server != nullptr && unregister_server != nullptr;
  }

  // A new object through DllGetClassObject and IClassFactory::CreateInstance; null on failure.
  [[nodiscard]] ComPtr<IDispatch> create() const;

  GetClassObject get_class_object = nullptr;
  EntryPoint can_unload_now = nullptr;
  EntryPoint register_server = nullptr;
  EntryPoint unregister_server = nullptr;

 private:
  HMODULE module_ = nullptr;
};

// Arguments in declared order; Invoke receives them reversed. Owns every VARIANT it holds.
class Arguments {
 public:
  Arguments() = default;
  ~Arguments();
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;
  Arguments(Arguments&& other) noexcept : values_(std::move(other.values_)) {}
  Arguments& operator=(Arguments&& other) noexcept;

  Arguments&& add_long(std::int32_t value) &&;
  Arguments&& add_string(std::wstring_view text) &&;
  // Takes over `value` as given (the caller's references stay the caller's).
  Arguments&& add(const VARIANT& value) &&;

  [[nodiscard]] std::vector<VARIANT> reversed() const { return {values_.rbegin(), values_.rend()}; }

 private:
  std::vector<VARIANT> values_;
};

// One IDispatch::Invoke call and what it answered.
struct Call {
  static constexpr UINT kUnset = 0xDEADu;

  Call(IDispatch* object, DISPID id, Arguments&& arguments, WORD flags = DISPATCH_METHOD);

  HRESULT hr = E_FAIL;
  UINT argument_error = kUnset;
  UniqueVariant result;
};

DISPID id_of(IDispatch* object, const wchar_t* name);

// Simple VARIANT makers (the caller owns any BSTR inside).
using kit::win32::LongArgument;
VARIANT reference_to(VARIANT* target);

}  // namespace varnel::test
