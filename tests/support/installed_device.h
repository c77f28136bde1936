#pragma once
// A LineDisplay device installed as an installation installs it: the OPOS key written through
// the view of this program's word size (the 32-bit view for the 32-bit library), with the
// service object's ProgID as its default value when one is given, the values Comport and
// Baudrate when given (as strings, or stored with any type and data a test needs), and the
// device-name file at its fixed place naming the device (a file already there is kept aside and
// put back afterwards).

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

#include "tests/support/word_size.h"

namespace test_support {

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
  // The text as a string value; nothing for null.
  static std::optional<StoredValue> text_or_nothing(const wchar_t* value) {
    if (value == nullptr) return std::nullopt;
    return text(value);
  }
};

class InstalledDevice {
 public:
  InstalledDevice(std::wstring name, std::optional<StoredValue> comport, std::optional<StoredValue> baudrate,
                  const wchar_t* service_prog_id = nullptr)
      : name_(std::move(name)), key_path_(std::wstring(kLineDisplayKey) + L"\\" + name_) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kInstallerView,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
      const std::optional<StoredValue> prog_id = StoredValue::text_or_nothing(service_prog_id);
      for (const auto& [value_name, value] :
           {std::pair<const wchar_t*, const std::optional<StoredValue>*>{nullptr, &prog_id},
            std::pair<const wchar_t*, const std::optional<StoredValue>*>{L"Comport", &comport},
            std::pair<const wchar_t*, const std::optional<StoredValue>*>{L"Baudrate", &baudrate}}) {
        if (!value->has_value()) continue;
        const std::wstring& data = (*value)->data;
        RegSetValueExW(key, value_name, 0, (*value)->type, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()) * DWORD{sizeof(wchar_t)});
      }
      RegCloseKey(key);
    }
    CreateDirectoryW(kFolder, nullptr);
    kept_ = MoveFileExW(kFile, kKeptFile, MOVEFILE_REPLACE_EXISTING) != 0;
    if (FILE* f = _wfopen(kFile, L"wb")) {
      std::fprintf(f, "%ls\r\n", name_.c_str());
      std::fclose(f);
    }
  }
  // Comport and Baudrate as strings; null leaves a value out.
  InstalledDevice(std::wstring name, const wchar_t* comport, const wchar_t* baudrate,
                  const wchar_t* service_prog_id = nullptr)
      : InstalledDevice(std::move(name), StoredValue::text_or_nothing(comport),
                        StoredValue::text_or_nothing(baudrate), service_prog_id) {}
  ~InstalledDevice() {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key_path_.c_str(), kInstallerView, 0);
    DeleteFileW(kFile);
    if (kept_) MoveFileExW(kKeptFile, kFile, MOVEFILE_REPLACE_EXISTING);
  }
  InstalledDevice(const InstalledDevice&) = delete;
  InstalledDevice& operator=(const InstalledDevice&) = delete;

  static constexpr const wchar_t* kLineDisplayKey = L"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay";

 private:
  static constexpr const wchar_t* kFolder = L"C:\\Program Files (x86)\\OPOSLD_SETUP";
  static constexpr const wchar_t* kFile = L"C:\\Program Files (x86)\\OPOSLD_SETUP\\DeviceName.txt";
  static constexpr const wchar_t* kKeptFile = L"C:\\Program Files (x86)\\OPOSLD_SETUP\\DeviceName.txt.kept";
  std::wstring name_;
  std::wstring key_path_;
  bool kept_ = false;
};

}  // namespace test_support
