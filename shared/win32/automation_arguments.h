#pragma once
// Shared by the deliverables: header only, nothing to link.
// Arguments for IDispatch::Invoke. The VARIANTs made here own nothing: numbers and booleans are
// held by value, a string or an interface is borrowed from its owner for the call, a 32-bit
// integer passed by reference points at the caller's variable. Nothing of them is cleared.

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string_view>

#include "shared/win32/com_resources.h"

namespace kit::win32 {

// A BSTR holding `text` (embedded NULs kept); empty when it cannot be allocated.
inline UniqueBstr MakeBstr(std::wstring_view text) {
  return UniqueBstr(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
}

// A 32-bit integer by value: an argument, or the result a server hands back.
inline VARIANT LongArgument(std::int32_t value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

// The automation boolean: true is VARIANT_TRUE (-1).
inline VARIANT BoolArgument(bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

// `text` stays with its owner, which frees it after the call.
inline VARIANT StringArgument(const UniqueBstr& text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = text.get();
  return v;
}

// `object` stays with its caller; a callee that keeps it takes its own reference.
inline VARIANT DispatchArgument(IDispatch* object) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_DISPATCH;
  v.pdispVal = object;
  return v;
}

// A 32-bit integer by reference: the callee may write to `value`.
inline VARIANT LongReferenceArgument(LONG& value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BYREF | VT_I4;
  v.plVal = &value;
  return v;
}

}  // namespace kit::win32
