#include "service_object/win32/local_machine_registry.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <new>

#include "shared/win32/utf16.h"

namespace varnel {
namespace {

// A value is read into 100 bytes: 49 characters and the terminator.
constexpr DWORD kValueCapacityBytes = 100;

// The three string types. The text read ends at the first NUL: of a REG_MULTI_SZ that is its
// first string, and a REG_EXPAND_SZ is taken as stored, without expanding %NAME% references
// (docs/integrator.md: how the service object finds its display).
bool holds_text(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

}  // namespace

std::optional<std::u16string> Win32RegistryKey::read_string(std::u16string_view value_name) {
  if (kit::win32::has_embedded_nul(value_name)) return std::nullopt;
  const std::wstring name = kit::win32::to_wide(value_name);

  std::array<wchar_t, kValueCapacityBytes / sizeof(wchar_t)> buffer{};
  DWORD type = REG_NONE;
  DWORD size = kValueCapacityBytes;
  // RegQueryValueExW: ERROR_SUCCESS, or an error code (ERROR_FILE_NOT_FOUND for a missing value,
  // ERROR_MORE_DATA when the value does not fit). It does not add a terminator: a value stored
  // without one that fills the buffer comes back unterminated.
  const LSTATUS status = RegQueryValueExW(key_.get(), name.c_str(), nullptr, &type,
                                          reinterpret_cast<BYTE*>(buffer.data()), &size);
  if (status != ERROR_SUCCESS || !holds_text(type)) return std::nullopt;

  const std::size_t stored_chars = std::min<std::size_t>(size / sizeof(wchar_t), buffer.size());
  const auto end = std::find(buffer.begin(), buffer.begin() + stored_chars, L'\0');
  const std::wstring_view text(buffer.data(), static_cast<std::size_t>(end - buffer.begin()));
  if (text.size() > kMaxValueChars) return std::nullopt;
  return kit::win32::to_u16(text);
}

std::unique_ptr<RegistryKey> Win32ConfigRegistry::open_for_reading(std::u16string_view key_path) {
  if (kit::win32::has_embedded_nul(key_path)) return nullptr;
  const std::wstring path = kit::win32::to_wide(key_path);
  kit::win32::UniqueRegistryKey key;
  // RegOpenKeyExW: ERROR_SUCCESS, or an error code (ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED).
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
    return nullptr;
  }
  return std::unique_ptr<RegistryKey>(new (std::nothrow) Win32RegistryKey(std::move(key)));
}

}  // namespace varnel
