#pragma once
// The service object's names for the shared automation resource owners (BSTRs, VARIANTs and
// interface references), and the two conversions between a BSTR and the core's UTF-16 text.

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "shared/win32/com_resources.h"

namespace varnel::com {

using kit::win32::ComPtr;
using kit::win32::UniqueBstr;
using kit::win32::UniqueVariant;

// A new BSTR holding `text`, embedded NULs included; null when out of memory. The caller (or
// whoever it hands the string to) frees it.
inline BSTR allocate_bstr(std::u16string_view text) noexcept {
  // SysAllocStringLen: null when out of memory.
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
}

// The text of a BSTR, embedded NULs included; a null BSTR is the empty string.
inline std::u16string bstr_text(BSTR text) {
  // SysStringLen: the length in code units, 0 for a null BSTR.
  const UINT length = SysStringLen(text);
  return length == 0 ? std::u16string() : std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

}  // namespace varnel::com
