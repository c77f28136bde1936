#pragma once
// Shared by the deliverables: header only, nothing to link.
// The portable cores speak std::u16string; Win32 speaks wchar_t. On Windows both are 16-bit
// UTF-16 code units, so conversion is a copy of code units, not a re-encoding. Lengths are
// explicit: embedded NULs are carried over, not treated as the end.

#include <algorithm>
#include <string>
#include <string_view>

namespace kit::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wchar_t is a UTF-16 code unit");

inline std::wstring to_wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

inline std::u16string to_u16(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// Win32 takes names as NUL-terminated strings: a name with a NUL inside would be cut short
// silently, so callers refuse such names instead.
inline bool has_embedded_nul(std::u16string_view text) {
  return std::find(text.begin(), text.end(), u'\0') != text.end();
}

}  // namespace kit::win32
