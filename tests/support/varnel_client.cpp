#include "tests/support/varnel_client.h"

#include <utility>

#include "shared/win32/automation_arguments.h"

namespace test_support {

std::wstring varnel_library_path() {
  std::wstring path = L"Z:";
  for (const char c : std::string_view(KIT_VARNEL_DLL))
    path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
  return path;
}

namespace {

using Entry = HRESULT(STDAPICALLTYPE*)();

Entry entry_point(HMODULE library, const char* name) {
  return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

}  // namespace

RegisteredVarnel::RegisteredVarnel() : library_(LoadLibraryW(varnel_library_path().c_str())) {
  if (library_ == nullptr) return;
  const Entry do_register = entry_point(library_, "DllRegisterServer");
  registered_ = do_register != nullptr && do_register() == S_OK;
}

RegisteredVarnel::~RegisteredVarnel() {
  if (!registered_) return;
  if (const Entry unregister = entry_point(library_, "DllUnregisterServer")) unregister();
}

IDispatch* RegisteredVarnel::create() const {
  CLSID clsid{};
  IDispatch* object = nullptr;
  if (FAILED(CLSIDFromProgID(L"VARNEL.ID_TARVO_VARNEL", &clsid)) ||
      FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&object)))) {
    return nullptr;
  }
  return object;
}

VARIANT text_argument(std::wstring_view text) {
  kit::win32::UniqueBstr owned = kit::win32::MakeBstr(text);
  VARIANT v = kit::win32::StringArgument(owned);
  owned.release();  // the VARIANT holds it now; invoke_method clears it
  return v;
}

HRESULT invoke_method(IDispatch& object, DISPID id, std::vector<VARIANT> arguments, VARIANT* result) {
  std::vector<VARIANT> reversed(arguments.rbegin(), arguments.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  UINT bad_argument = 0;
  const HRESULT hr = object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                   &params, result, nullptr, &bad_argument);
  for (VARIANT& argument : arguments) VariantClear(&argument);
  return hr;
}

long invoke_long(IDispatch& object, DISPID id, std::vector<VARIANT> arguments, long fallback) {
  VARIANT result;
  VariantInit(&result);
  const HRESULT hr = invoke_method(object, id, std::move(arguments), &result);
  const long answer = SUCCEEDED(hr) && result.vt == VT_I4 ? result.lVal : fallback;
  VariantClear(&result);
  return answer;
}

DISPID dispid_of(IDispatch& object, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  auto* names = const_cast<LPOLESTR>(name);
  object.GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

}  // namespace test_support
