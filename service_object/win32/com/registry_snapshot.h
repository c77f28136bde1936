#pragma once
// A registry key as it stands, with everything below it, and the way back to that state: what
// a registration that fails half way uses to leave the registry as it found it.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace varnel::com {

class RegistrySnapshot {
 public:
  // How much of the key is remembered: only whether it exists (for a shared parent such as
  // HKCR\AppID, whose other subkeys are none of ours), or the key with all below it.
  enum class Depth { existence, whole };

  // Takes the key `path` below `root` in the registry view `view` (0, KEY_WOW64_32KEY or
  // KEY_WOW64_64KEY). A key that does not exist is remembered as absent; a key that exists but
  // cannot be read is remembered as unknown and left alone by restore().
  static RegistrySnapshot take(HKEY root, std::wstring path, REGSAM view, Depth depth = Depth::whole);

  // Brings the key back to the state taken: an absent key is deleted with all below it; a key
  // taken whole gets back its values (added ones removed, changed or removed ones written again)
  // and its subkeys (added ones deleted, removed ones made again). Answers S_OK or the first
  // failure; every step is still attempted.
  [[nodiscard]] HRESULT restore() const;

 private:
  struct Value {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
  };
  struct Key {
    std::wstring name;
    std::vector<Value> values;
    std::vector<Key> subkeys;
  };
  enum class State { absent, present, unknown };

  RegistrySnapshot(HKEY root, std::wstring path, REGSAM view)
      : root_(root), path_(std::move(path)), view_(view) {}

  // Reads the values and subkeys below `handle` into `into`; false when any of it cannot be read.
  static bool read(HKEY handle, REGSAM view, int depth, Key& into);
  // Brings `path` back to `wanted`, noting the first failure.
  void restore_key(const std::wstring& path, const Key& wanted, HRESULT& first_failure) const;

  HKEY root_;
  std::wstring path_;
  REGSAM view_;
  State state_ = State::unknown;
  std::optional<Key> key_;  // set when taken whole and present
};

}  // namespace varnel::com
