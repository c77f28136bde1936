#include "tester/win32/ansi_registry.h"

#include <windows.h>

#include <string>

namespace zorntest::win32 {
namespace {

HKEY AsKey(RegistryKeyHandle key) {
  // The handle went out as an integer (OpenLocalMachineKey) and comes back as one.
  return reinterpret_cast<HKEY>(key);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace

std::int32_t Win32AnsiRegistry::OpenLocalMachineKey(const std::string& subKey, std::uint32_t options,
                                                    std::uint32_t access, RegistryKeyHandle& key) {
  HKEY opened = nullptr;
  // Answers ERROR_SUCCESS (0) or a Windows error code.
  const LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), options, access, &opened);
  key = status == ERROR_SUCCESS ? reinterpret_cast<RegistryKeyHandle>(opened) : 0;
  return status;
}

std::int32_t Win32AnsiRegistry::EnumKey(RegistryKeyHandle key, std::uint32_t index, std::span<char> name,
                                        std::uint32_t& nameLength, std::span<char> className,
                                        std::uint32_t& classLength) {
  DWORD nameChars = nameLength;
  DWORD classChars = classLength;
  FILETIME lastWrite{};
  // Answers ERROR_SUCCESS, ERROR_MORE_DATA when the name or class does not fit (terminating
  // zero included), or ERROR_NO_MORE_ITEMS past the last subkey.
  const LSTATUS status = RegEnumKeyExA(AsKey(key), index, name.data(), &nameChars, nullptr, className.data(),
                                       &classChars, &lastWrite);
  if (status == ERROR_SUCCESS) {
    nameLength = nameChars;
    classLength = classChars;
  }
  return status;
}

std::int32_t Win32AnsiRegistry::CloseKey(RegistryKeyHandle key) { return RegCloseKey(AsKey(key)); }

std::string Win32AnsiRegistry::ToAnsi(std::u16string_view text) const {
  if (text.empty()) return {};
  const std::wstring wide(text.begin(), text.end());
  const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                       nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), size, nullptr,
                        nullptr);
  }
  return ansi;
}

std::u16string Win32AnsiRegistry::FromAnsi(std::string_view text) const {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  if (size > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return {wide.begin(), wide.end()};
}

}  // namespace zorntest::win32
