#pragma once
// chk_registry: the registry functions the tester calls, bound to their ANSI entry points, and
// the device list read through them.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorntest {

// The OPOS LineDisplay key under HKEY_LOCAL_MACHINE; its subkeys are the device names.
inline constexpr std::u16string_view kLineDisplayKeyPath =
    u"Software\\OLEforRetail\\ServiceOPOS\\LineDisplay";

// Registry numbers the device list uses (the values of the Windows SDK's names).
inline constexpr std::int32_t kRegistrySuccess = 0;         // ERROR_SUCCESS
inline constexpr std::int32_t kRegistryMoreData = 234;      // ERROR_MORE_DATA
inline constexpr std::int32_t kRegistryNoMoreItems = 259;   // ERROR_NO_MORE_ITEMS
inline constexpr std::uint32_t kRegistryKeyRead = 0x20019;  // KEY_READ

// Room of each enumeration buffer, in characters, the terminating zero included: a name or
// class of up to 63 characters fits.
inline constexpr std::uint32_t kEnumerationBufferSize = 64;

// An open registry key, as the platform hands it out.
using RegistryKeyHandle = std::uintptr_t;

// RegOpenKeyExA, RegEnumKeyExA and RegCloseKey, and the conversion of the program's UTF-16
// strings to the ANSI code page those calls take, and back. Each call answers the Windows
// error code of the function it stands for.
class AnsiRegistry {
 public:
  virtual ~AnsiRegistry() = default;

  // RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, options, access, &key).
  virtual std::int32_t OpenLocalMachineKey(const std::string& subKey, std::uint32_t options,
                                           std::uint32_t access, RegistryKeyHandle& key) = 0;

  // RegEnumKeyExA(key, index, name, &nameLength, nullptr, className, &classLength, &lastWrite).
  // The lengths go in as the buffers' capacities (characters, the terminating zero included)
  // and, on success, come back as the lengths written (without it). The last-write time is
  // received and dropped.
  virtual std::int32_t EnumKey(RegistryKeyHandle key, std::uint32_t index, std::span<char> name,
                               std::uint32_t& nameLength, std::span<char> className,
                               std::uint32_t& classLength) = 0;

  virtual std::int32_t CloseKey(RegistryKeyHandle key) = 0;

  virtual std::string ToAnsi(std::u16string_view text) const = 0;
  virtual std::u16string FromAnsi(std::string_view text) const = 0;
};

// The names of the subkeys of the LineDisplay key, in the order the registry enumerates them,
// unfiltered; nothing when the key cannot be opened. The list ends at the first enumeration
// step that fails: normally with ERROR_NO_MORE_ITEMS, early with ERROR_MORE_DATA at a subkey
// whose name or class has 64 characters or more (that subkey and every later one are left out).
// The key is held open only while the names are read.
std::optional<std::vector<std::u16string>> ReadLineDisplayDevices(AnsiRegistry& registry);

}  // namespace zorntest
