#include "service_object/win32/com/dispatch_arguments.h"

#include "service_object/win32/com/com_resources.h"
#include "shared/win32/automation_arguments.h"

namespace varnel::com {

namespace {

// A reference chain longer than this is refused rather than followed: no client builds one, and
// a cycle must not loop forever.
constexpr int kMaxReferenceDepth = 8;

constexpr VARTYPE kVariantReference = VT_BYREF | VT_VARIANT;

bool is_omitted(const VARIANT& value) noexcept {
  return value.vt == VT_ERROR && value.scode == DISP_E_PARAMNOTFOUND;
}

}  // namespace

HRESULT DispatchArguments::check_shape(const DISPPARAMS* params) noexcept {
  if (params == nullptr) return E_INVALIDARG;
  if (params->cArgs > 0 && params->rgvarg == nullptr) return E_INVALIDARG;
  if (params->cNamedArgs > params->cArgs) return E_INVALIDARG;
  if (params->cNamedArgs > 0 && params->rgdispidNamedArgs == nullptr) return E_INVALIDARG;
  return S_OK;
}

VARIANT* DispatchArguments::slot(unsigned position) const noexcept {
  return &params_.rgvarg[params_.cArgs - 1 - position];
}

VARIANT* DispatchArguments::follow(VARIANT* argument) noexcept {
  for (int depth = 0; depth < kMaxReferenceDepth && argument != nullptr; ++depth) {
    if (argument->vt != kVariantReference) return argument;
    argument = argument->pvarVal;
  }
  return nullptr;
}

bool DispatchArguments::fail(unsigned position, HRESULT error) noexcept {
  error_ = error;
  error_index_ = params_.cArgs - 1 - position;
  return false;
}

VARIANT* DispatchArguments::value_of(unsigned position) {
  VARIANT* argument = slot(position);
  if (argument->vt == VT_EMPTY || is_omitted(*argument)) {
    fail(position, DISP_E_PARAMNOTOPTIONAL);
    return nullptr;
  }
  VARIANT* value = follow(argument);
  if (value == nullptr) {
    fail(position, DISP_E_TYPEMISMATCH);
    return nullptr;
  }
  if (is_omitted(*value)) {
    fail(position, DISP_E_PARAMNOTOPTIONAL);
    return nullptr;
  }
  // A reference to nothing has no value to read.
  if ((value->vt & VT_BYREF) != 0 && value->byref == nullptr) {
    fail(position, DISP_E_TYPEMISMATCH);
    return nullptr;
  }
  return value;
}

bool DispatchArguments::coerce(unsigned position, VARTYPE type, VARIANT& converted) {
  VARIANT* value = value_of(position);
  if (value == nullptr) return false;
  // VariantChangeType: S_OK or the reason the value does not convert (it also reads through
  // VT_BYREF values such as VT_BYREF|VT_I4). Overflow and bad text alike are a type mismatch
  // to the caller.
  const HRESULT result = VariantChangeType(&converted, value, 0, type);
  if (result == E_OUTOFMEMORY) return fail(position, E_OUTOFMEMORY);
  if (FAILED(result)) return fail(position, DISP_E_TYPEMISMATCH);
  return true;
}

bool DispatchArguments::read_long(unsigned position, std::int32_t& value) {
  UniqueVariant converted;
  if (!coerce(position, VT_I4, *converted.get())) return false;
  value = converted->lVal;
  return true;
}

bool DispatchArguments::read_bool(unsigned position, bool& value) {
  UniqueVariant converted;
  if (!coerce(position, VT_BOOL, *converted.get())) return false;
  value = converted->boolVal != VARIANT_FALSE;
  return true;
}

bool DispatchArguments::read_string(unsigned position, std::u16string& value) {
  // A string is taken as it is, with its length: a conversion to itself would stop at an
  // embedded NUL.
  if (const VARIANT* found = follow(slot(position)); found != nullptr) {
    if (found->vt == VT_BSTR) {
      value = bstr_text(found->bstrVal);
      return true;
    }
    if (found->vt == (VT_BYREF | VT_BSTR) && found->pbstrVal != nullptr) {
      value = bstr_text(*found->pbstrVal);
      return true;
    }
  }
  UniqueVariant converted;
  if (!coerce(position, VT_BSTR, *converted.get())) return false;
  value = bstr_text(converted->bstrVal);
  return true;
}

bool DispatchArguments::read_present(unsigned position) { return value_of(position) != nullptr; }

IDispatch* DispatchArguments::dispatch_at(unsigned position) const noexcept {
  const VARIANT* value = follow(slot(position));
  if (value == nullptr) return nullptr;
  if (value->vt == VT_DISPATCH) return value->pdispVal;
  if (value->vt == (VT_BYREF | VT_DISPATCH) && value->ppdispVal != nullptr) return *value->ppdispVal;
  return nullptr;
}

bool DispatchArguments::read_long_ref(unsigned position, std::int32_t& value) {
  const VARIANT* target = follow(slot(position));
  // A reference to anything but a long or a VARIANT cannot take a long back.
  if (target != nullptr && (target->vt & VT_BYREF) != 0 && target->vt != (VT_BYREF | VT_I4)) {
    return fail(position, DISP_E_TYPEMISMATCH);
  }
  return read_long(position, value);
}

bool DispatchArguments::read_string_ref(unsigned position, std::u16string& value) {
  const VARIANT* target = follow(slot(position));
  if (target != nullptr && (target->vt & VT_BYREF) != 0 && target->vt != (VT_BYREF | VT_BSTR)) {
    return fail(position, DISP_E_TYPEMISMATCH);
  }
  return read_string(position, value);
}

HRESULT DispatchArguments::write_long_ref(unsigned position, std::int32_t value) {
  VARIANT* argument = slot(position);
  if (argument->vt != kVariantReference && (argument->vt & VT_BYREF) == 0) return S_OK;  // by value
  VARIANT* target = follow(argument);
  if (target == nullptr) return DISP_E_TYPEMISMATCH;
  if (target->vt == (VT_BYREF | VT_I4)) {
    if (target->plVal == nullptr) return DISP_E_TYPEMISMATCH;
    *target->plVal = value;
    return S_OK;
  }
  if (argument->vt != kVariantReference) return DISP_E_TYPEMISMATCH;
  // The caller's VARIANT itself: it is left holding a long, whatever it held.
  VariantClear(target);
  *target = kit::win32::LongArgument(value);
  return S_OK;
}

HRESULT DispatchArguments::write_string_ref(unsigned position, std::u16string_view value) {
  VARIANT* argument = slot(position);
  if (argument->vt != kVariantReference && (argument->vt & VT_BYREF) == 0) return S_OK;  // by value
  VARIANT* target = follow(argument);
  if (target == nullptr) return DISP_E_TYPEMISMATCH;
  if (target->vt != (VT_BYREF | VT_BSTR) && argument->vt != kVariantReference) return DISP_E_TYPEMISMATCH;
  if (target->vt == (VT_BYREF | VT_BSTR) && target->pbstrVal == nullptr) return DISP_E_TYPEMISMATCH;
  UniqueBstr text(allocate_bstr(value));
  if (text.get() == nullptr) return E_OUTOFMEMORY;
  if (target->vt == (VT_BYREF | VT_BSTR)) {
    // A replaced string is ours to free: the caller owns only the new one.
    SysFreeString(*target->pbstrVal);
    *target->pbstrVal = text.release();
    return S_OK;
  }
  VariantClear(target);
  target->vt = VT_BSTR;
  target->bstrVal = text.release();
  return S_OK;
}

}  // namespace varnel::com
