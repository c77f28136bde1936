#pragma once
// A device installed as an installation installs it: the OPOS key written through the view of
// the program's word size (the 32-bit view for the 32-bit library) with its "Comport" and
// "Baudrate" values, and the device-name file at its fixed place (a file already there is kept
// aside and put back afterwards).

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "tests/win32/word_size.h"

namespace varnel::test {

// A registry value as stored: its type and its data as UTF-16 code units (NULs included).
struct StoredValue {
  DWORD type = REG_SZ;
  std::wstring data;

  // A string with its terminator, as installers write one.
  static StoredValue text(const wchar_t* value) { return {REG_SZ, std::wstring(value) + L'\0'}; }
  static StoredValue number(DWORD value) {
    std::wstring data(sizeof value / sizeof(wchar_t), L'\0');
    std::memcpy(data.data(), &value, sizeof value);
    return {REG_DWORD, data};
  }
};

class InstalledDevice {
 public:
  InstalledDevice(std::optional<StoredValue> comport, std::optional<StoredValue> baudrate) {
    key_path_ = std::wstring(L"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\") + kName;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kInstallerView,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
      for (const auto& [name, value] : {std::pair{L"Comport", &comport}, std::pair{L"Baudrate", &baudrate}}) {
        if (!value->has_value()) continue;
        const std::wstring& data = (*value)->data;
        RegSetValueExW(key, name, 0, (*value)->type, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()) * DWORD{sizeof(wchar_t)});
      }
      RegCloseKey(key);
    }
    CreateDirectoryW(kFolder, nullptr);
    kept_ = MoveFileExW(kFile, kKeptFile, MOVEFILE_REPLACE_EXISTING) != 0;
    if (FILE* f = _wfopen(kFile, L"wb")) {
      std::fprintf(f, "%ls\r\n", kName);
      std::fclose(f);
    }
  }
  // Both values as strings; null leaves a value out.
  InstalledDevice(const wchar_t* comport, const wchar_t* baudrate)
      : InstalledDevice(text_or_nothing(comport), text_or_nothing(baudrate)) {}
  ~InstalledDevice() {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key_path_.c_str(), kInstallerView, 0);
    DeleteFileW(kFile);
    if (kept_) MoveFileExW(kKeptFile, kFile, MOVEFILE_REPLACE_EXISTING);
  }
  InstalledDevice(const InstalledDevice&) = delete;
  InstalledDevice& operator=(const InstalledDevice&) = delete;

 private:
  static std::optional<StoredValue> text_or_nothing(const wchar_t* value) {
    if (value == nullptr) return std::nullopt;
    return StoredValue::text(value);
  }

  static constexpr const wchar_t* kName = L"KitControlClientPole";
  static constexpr const wchar_t* kFolder = L"C:\\Program Files (x86)\\OPOSLD_SETUP";
  static constexpr const wchar_t* kFile = L"C:\\Program Files (x86)\\OPOSLD_SETUP\\DeviceName.txt";
  static constexpr const wchar_t* kKeptFile = L"C:\\Program Files (x86)\\OPOSLD_SETUP\\DeviceName.txt.kept";
  std::wstring key_path_;
  bool kept_ = false;
};

}  // namespace varnel::test
