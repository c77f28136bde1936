#include "tester/core/chk_registry.h"

#include <array>

namespace zorntest {

std::optional<std::vector<std::u16string>> ReadLineDisplayDevices(AnsiRegistry& registry) {
  RegistryKeyHandle key = 0;
  if (registry.OpenLocalMachineKey(registry.ToAnsi(kLineDisplayKeyPath), 0, kRegistryKeyRead, key) !=
      kRegistrySuccess) {
    return std::nullopt;
  }
  std::vector<std::u16string> names;
  std::array<char, kEnumerationBufferSize> name{};
  std::array<char, kEnumerationBufferSize> className{};
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t nameLength = kEnumerationBufferSize;
    std::uint32_t classLength = kEnumerationBufferSize;
    name.fill('\0');
    className.fill('\0');
    if (registry.EnumKey(key, index, name, nameLength, className, classLength) != kRegistrySuccess) break;
    // A length beyond the buffer cannot come from the system; it is not trusted either.
    const std::size_t length = nameLength < name.size() ? nameLength : name.size();
    names.push_back(registry.FromAnsi(std::string_view(name.data(), length)));
  }
  registry.CloseKey(key);
  return names;
}

}  // namespace zorntest
