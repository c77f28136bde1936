#include "service_object/win32/com/service_object_dispatch.h"

#include <new>
#include <string>

#include "service_object/win32/com/com_resources.h"
#include "service_object/win32/com/dispatch_arguments.h"
#include "service_object/win32/com/dispatch_table.h"
#include "service_object/win32/com/guids.h"
#include "service_object/win32/com/server_module.h"

namespace varnel::com {

HRESULT ServiceObjectDispatch::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (iid != IID_IUnknown && iid != IID_IDispatch && iid != kDispatchInterfaceId) return E_NOINTERFACE;
  *object = static_cast<IDispatch*>(this);
  AddRef();
  return S_OK;
}

ULONG ServiceObjectDispatch::AddRef() { return references_.fetch_add(1) + 1; }

ULONG ServiceObjectDispatch::Release() {
  const ULONG remaining = references_.fetch_sub(1) - 1;
  if (remaining == 0) delete this;
  return remaining;
}

HRESULT ServiceObjectDispatch::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT ServiceObjectDispatch::GetTypeInfo(UINT index, LCID /*locale*/, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  try {
    const std::wstring path = module_path();
    if (path.empty()) return E_UNEXPECTED;
    // LoadTypeLibEx with REGKIND_NONE reads the TYPELIB resource of the file without touching
    // the registry. Clients ask rarely, so the library is not cached.
    ComPtr<ITypeLib> library;
    const HRESULT loaded = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
    if (FAILED(loaded)) return loaded;
    return library->GetTypeInfoOfGuid(kDispatchInterfaceId, info);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

HRESULT ServiceObjectDispatch::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT name_count, LCID /*locale*/,
                                             DISPID* ids) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr || name_count == 0) return E_INVALIDARG;
  const DispatchEntry* entry = names[0] == nullptr ? nullptr : find_member(names[0]);
  ids[0] = entry == nullptr ? DISPID_UNKNOWN : entry->id;
  // Further names would be parameter names, for named arguments, which no member takes.
  for (UINT i = 1; i < name_count; ++i) ids[i] = DISPID_UNKNOWN;
  return entry != nullptr && name_count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT ServiceObjectDispatch::Invoke(DISPID id, REFIID iid, LCID /*locale*/, WORD flags, DISPPARAMS* params,
                                      VARIANT* result, EXCEPINFO* /*exception*/, UINT* argument_error) {
  if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  const DispatchEntry* entry = find_method(id);
  if (entry == nullptr) return DISP_E_MEMBERNOTFOUND;
  // A call: DISPATCH_METHOD, DISPATCH_PROPERTYGET, or both (what script engines send for
  // `x = object.Method(...)`). Nothing can be assigned to.
  constexpr WORD kCall = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
  if ((flags & kCall) == 0 || (flags & ~kCall) != 0) return DISP_E_MEMBERNOTFOUND;

  if (const HRESULT shape = DispatchArguments::check_shape(params); FAILED(shape)) return shape;
  if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
  if (params->cArgs != entry->parameter_count) return DISP_E_BADPARAMCOUNT;

  if (result != nullptr) VariantInit(result);
  DispatchArguments arguments(*params);
  HRESULT outcome = E_UNEXPECTED;
  try {
    outcome = entry->invoke(service_, arguments, result);
  } catch (const std::bad_alloc&) {
    outcome = E_OUTOFMEMORY;
  } catch (...) {
    outcome = E_UNEXPECTED;
  }
  const bool argument_failed = outcome == DISP_E_TYPEMISMATCH || outcome == DISP_E_PARAMNOTOPTIONAL;
  if (argument_failed && arguments.error() == outcome && argument_error != nullptr) {
    *argument_error = arguments.error_index();
  }
  return outcome;
}

}  // namespace varnel::com
