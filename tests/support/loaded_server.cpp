#include "tests/support/loaded_server.h"

#include <array>
#include <set>
#include <string_view>

#include "service_object/win32/com/guids.h"

namespace varnel::test {

LoadedServer::LoadedServer() : module_(LoadLibraryW(test_support::varnel_library_path().c_str())) {
  if (module_ == nullptr) return;
  // FARPROC and the real signatures are unrelated function types: through void*.
  const auto entry = [this](const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module_, name));
  };
  get_class_object = reinterpret_cast<GetClassObject>(entry("DllGetClassObject"));
  can_unload_now = reinterpret_cast<EntryPoint>(entry("DllCanUnloadNow"));
  register_server = reinterpret_cast<EntryPoint>(entry("DllRegisterServer"));
  unregister_server = reinterpret_cast<EntryPoint>(entry("DllUnregisterServer"));
}

LoadedServer::~LoadedServer() {
  if (module_ != nullptr) FreeLibrary(module_);
}

ComPtr<IDispatch> LoadedServer::create() const {
  ComPtr<IDispatch> object;
  ComPtr<IClassFactory> factory;
  if (get_class_object == nullptr ||
      FAILED(get_class_object(com::kClassId, IID_IClassFactory, factory.put_void()))) {
    return object;
  }
  factory->CreateInstance(nullptr, IID_IDispatch, object.put_void());
  return object;
}

Arguments::~Arguments() {
  for (VARIANT& value : values_) VariantClear(&value);
}

Arguments& Arguments::operator=(Arguments&& other) noexcept {
  if (this != &other) {
    for (VARIANT& value : values_) VariantClear(&value);
    values_ = std::move(other.values_);
    other.values_.clear();
  }
  return *this;
}

Arguments&& Arguments::add_long(std::int32_t value) && {
  values_.push_back(LongArgument(value));
  return std::move(*this);
}

Arguments&& Arguments::add_string(std::wstring_view text) && {
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_BSTR;
  value.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  values_.push_back(value);
  return std::move(*this);
}

Arguments&& Arguments::add(const VARIANT& value) && {
  values_.push_back(value);
  return std::move(*this);
}

Call::Call(IDispatch* object, DISPID id, Arguments&& arguments, WORD flags) {
  std::vector<VARIANT> reversed = arguments.reversed();
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result.get(), nullptr,
                      &argument_error);
}

DISPID id_of(IDispatch* object, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  auto* names = const_cast<LPOLESTR>(name);
  object->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

VARIANT reference_to(VARIANT* target) {
  VARIANT variant;
  VariantInit(&variant);
  variant.vt = VT_BYREF | VT_VARIANT;
  variant.pvarVal = target;
  return variant;
}

}  // namespace varnel::test
