#include "tester/core/chk_registry.h"

#include <array>

namespace zorntest {
namespace {

// Closes the key when the list has been read, on every way out.
class OpenedKey {
 public:
  OpenedKey(AnsiRegistry& registry, RegistryKeyHandle key) : registry_(registry), key_(key) {}
  ~OpenedKey() { registry_.CloseKey(key_); }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  [[nodiscard]] RegistryKeyHandle get() const { return key_; }

 private:
  AnsiRegistry& registry_;
  RegistryKeyHandle key_;
};

}  // namespace

std::optional<std::vector<std::u16string>> ReadLineDisplayDevices(AnsiRegistry& registry) {
  RegistryKeyHandle key = 0;
  if (registry.OpenLocalMachineKey(registry.ToAnsi(kLineDisplayKeyPath), 0, kRegistryKeyRead, key) !=
      kRegistrySuccess) {
    return std::nullopt;
  }
  const OpenedKey opened(registry, key);
  std::vector<std::u16string> names;
  std::array<char, kEnumerationBufferSize> name{};
  std::array<char, kEnumerationBufferSize> className{};
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t nameLength = kEnumerationBufferSize;
    std::uint32_t classLength = kEnumerationBufferSize;
    name.fill('\0');
    className.fill('\0');
    if (registry.EnumKey(opened.get(), index, name, nameLength, className, classLength) != kRegistrySuccess)
      break;
    // A length beyond the buffer cannot come from the system; it is not trusted either.
    const std::size_t length = nameLength < name.size() ? nameLength : name.size();
    names.push_back(registry.FromAnsi(std::string_view(name.data(), length)));
  }
  return names;
}

}  // namespace zorntest
