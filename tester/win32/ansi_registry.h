#pragma once
// chk_registry's registry functions on advapi32's ANSI entry points.

#include "tester/core/chk_registry.h"

namespace zorntest::win32 {

class Win32AnsiRegistry final : public AnsiRegistry {
 public:
  std::int32_t OpenLocalMachineKey(const std::string& subKey, std::uint32_t options, std::uint32_t access,
                                   RegistryKeyHandle& key) override;
  std::int32_t EnumKey(RegistryKeyHandle key, std::uint32_t index, std::span<char> name,
                       std::uint32_t& nameLength, std::span<char> className,
                       std::uint32_t& classLength) override;
  std::int32_t CloseKey(RegistryKeyHandle key) override;
  std::string ToAnsi(std::u16string_view text) const override;
  std::u16string FromAnsi(std::string_view text) const override;
};

}  // namespace zorntest::win32
