#pragma once
// The OPOS LineDisplay key as the tester sees it (this program's word size picks the same
// registry view as the tester's): removed, emptied or filled with device subkeys, and put back
// to empty afterwards.

#include <windows.h>

#include <string>
#include <vector>

#include "shared/win32/unique_handle.h"

namespace kit::tester_test {

class LineDisplayKey {
 public:
  // The key with exactly these subkeys (created in this order), or no key at all.
  static LineDisplayKey with(const std::vector<std::wstring>& devices) {
    remove();
    kit::win32::UniqueRegistryKey key;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPath, 0, nullptr, 0, KEY_CREATE_SUB_KEY, nullptr, key.put(),
                    nullptr);
    for (const std::wstring& device : devices) {
      kit::win32::UniqueRegistryKey subkey;
      RegCreateKeyExW(key.get(), device.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, subkey.put(),
                      nullptr);
    }
    return LineDisplayKey();
  }
  static LineDisplayKey absent() {
    remove();
    return LineDisplayKey();
  }
  ~LineDisplayKey() {
    if (owner_) remove();
  }
  LineDisplayKey(LineDisplayKey&& other) noexcept : owner_(other.owner_) { other.owner_ = false; }
  LineDisplayKey& operator=(LineDisplayKey&&) = delete;
  LineDisplayKey(const LineDisplayKey&) = delete;
  LineDisplayKey& operator=(const LineDisplayKey&) = delete;

  static constexpr const wchar_t* kPath = L"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay";

 private:
  LineDisplayKey() = default;
  static void remove() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kPath); }
  bool owner_ = true;
};

}  // namespace kit::tester_test
