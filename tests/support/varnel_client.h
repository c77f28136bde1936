#pragma once
// VARNEL.dll as an automation client process has it: loaded from the build, registered for the
// run so that CoCreateInstance finds it by its ProgID (as a control object does), unregistered
// afterwards; and late-bound calls by DISPID with the arguments in written order.

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <vector>

namespace test_support {

// The library as built (KIT_VARNEL_DLL, a Unix path), seen from Windows through drive Z:.
std::wstring varnel_library_path();

class RegisteredVarnel {
 public:
  // Loads the library and runs its DllRegisterServer; ok() tells whether both worked.
  RegisteredVarnel();
  // Runs DllUnregisterServer. The library stays loaded: COM may still hold it.
  ~RegisteredVarnel();
  RegisteredVarnel(const RegisteredVarnel&) = delete;
  RegisteredVarnel& operator=(const RegisteredVarnel&) = delete;

  [[nodiscard]] bool ok() const { return registered_; }

  // A new object by the ProgID "VARNEL.ID_TARVO_VARNEL"; null on failure.
  [[nodiscard]] IDispatch* create() const;

 private:
  HMODULE library_ = nullptr;
  bool registered_ = false;
};

// A text argument for invoke_method, which clears it: it owns its string until then. Numbers are
// kit::win32::LongArgument (shared/win32/automation_arguments.h).
VARIANT text_argument(std::wstring_view text);

// Calls `id` as DISPATCH_METHOD | DISPATCH_PROPERTYGET, as script engines do, with `arguments`
// in written order (DISPPARAMS takes them reversed); clears the arguments afterwards. `result`
// may be null.
HRESULT invoke_method(IDispatch& object, DISPID id, std::vector<VARIANT> arguments,
                      VARIANT* result = nullptr);

// The long answer of a call, or `fallback` when the call failed or answered no long.
long invoke_long(IDispatch& object, DISPID id, std::vector<VARIANT> arguments, long fallback = -9999);

// The DISPID of `name`, or DISPID_UNKNOWN.
DISPID dispid_of(IDispatch& object, const wchar_t* name);

}  // namespace test_support
