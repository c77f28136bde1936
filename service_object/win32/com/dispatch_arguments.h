#pragma once
// The arguments of one IDispatch::Invoke call, read by declared position.
//
// DISPPARAMS holds the arguments in reverse order: the first parameter is the last element of
// rgvarg. Positions here are the declared ones (0 = first parameter); errors report the rgvarg
// index, which is what IDispatch::Invoke's puArgErr expects.
//
// Each argument may arrive by value or by reference: VT_BYREF|VT_VARIANT is followed to the
// VARIANT it points at, and VariantChangeType coerces what is found to the parameter's type
// (VT_I2 3, VT_R8 3.0 and VT_BSTR "3" all make the long 3). An argument counts as omitted when
// it is VT_ERROR with DISP_E_PARAMNOTFOUND, or VT_EMPTY passed directly; an empty variable
// passed by reference (a script's Dim'd variable) is present and reads as 0 / "" / false.
//
// Out-parameters (long by ref, BSTR by ref) accept VT_BYREF|VT_I4 (resp. VT_BYREF|VT_BSTR),
// VT_BYREF|VT_VARIANT, or a plain value (which has nowhere to be written back to). The value
// is read before the call; write_long_ref / write_string_ref store a new one afterwards.

#include <windows.h>
#include <oleauto.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace varnel::com {

class DispatchArguments {
 public:
  // Answers S_OK when `params` can be read safely: not null, rgvarg present for cArgs > 0,
  // rgdispidNamedArgs present for cNamedArgs > 0, and no more named than total arguments.
  // E_INVALIDARG otherwise.
  static HRESULT check_shape(const DISPPARAMS* params) noexcept;

  // `params` must have passed check_shape and outlive this object.
  explicit DispatchArguments(const DISPPARAMS& params) noexcept : params_(params) {}

  [[nodiscard]] unsigned count() const noexcept { return params_.cArgs; }

  // Each read answers false on failure and records the reason (error(), error_index()).
  bool read_long(unsigned position, std::int32_t& value);
  bool read_bool(unsigned position, bool& value);
  // A null BSTR reads as the empty string; embedded NULs are kept.
  bool read_string(unsigned position, std::u16string& value);
  // Any value at all (the parameter is accepted and not used); only omission is refused.
  bool read_present(unsigned position);
  // The dispatch interface the argument holds (VT_DISPATCH, by value or by reference), without a
  // reference taken; null for anything else, which is not an error.
  [[nodiscard]] IDispatch* dispatch_at(unsigned position) const noexcept;
  bool read_long_ref(unsigned position, std::int32_t& value);
  bool read_string_ref(unsigned position, std::u16string& value);

  // Store a changed out-parameter back where the caller passed it from. S_OK also when the
  // argument came by value; E_OUTOFMEMORY when the string cannot be allocated.
  HRESULT write_long_ref(unsigned position, std::int32_t value);
  HRESULT write_string_ref(unsigned position, std::u16string_view value);

  // The failure of the last read: DISP_E_TYPEMISMATCH or DISP_E_PARAMNOTOPTIONAL (with the
  // rgvarg index of the argument), or E_OUTOFMEMORY.
  [[nodiscard]] HRESULT error() const noexcept { return error_; }
  [[nodiscard]] UINT error_index() const noexcept { return error_index_; }

 private:
  // The argument's slot in rgvarg, and the VARIANT holding its value after VT_BYREF|VT_VARIANT
  // references have been followed (null for a broken chain of references).
  VARIANT* slot(unsigned position) const noexcept;
  static VARIANT* follow(VARIANT* argument) noexcept;
  // The value to coerce, or null after recording why there is none.
  VARIANT* value_of(unsigned position);
  bool coerce(unsigned position, VARTYPE type, VARIANT& converted);
  bool fail(unsigned position, HRESULT error) noexcept;

  const DISPPARAMS& params_;
  HRESULT error_ = S_OK;
  UINT error_index_ = 0;
};

}  // namespace varnel::com
