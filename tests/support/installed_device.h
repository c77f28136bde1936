#pragma once
// A LineDisplay device installed as an installation installs it: the OPOS key written through
// the view of this program's word size (the 32-bit view for the 32-bit library), with the
// service object's ProgID as its default value when one is given, the values Comport and
// Baudrate when given, and the device-name file at its fixed place naming the device (a file
// already there is kept aside and put back afterwards).

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

#include "tests/support/word_size.h"

namespace test_support {

class InstalledDevice {
 public:
  InstalledDevice(std::wstring name, const wchar_t* comport, const wchar_t* baudrate,
                  const wchar_t* service_prog_id = nullptr)
      : name_(std::move(name)), key_path_(std::wstring(kLineDisplayKey) + L"\\" + name_) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kInstallerView,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
      for (const auto& [value_name, text] :
           {std::pair<const wchar_t*, const wchar_t*>{nullptr, service_prog_id},
            std::pair<const wchar_t*, const wchar_t*>{L"Comport", comport},
            std::pair<const wchar_t*, const wchar_t*>{L"Baudrate", baudrate}}) {
        if (text == nullptr) continue;
        const std::size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);  // the terminator included
        RegSetValueExW(key, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(bytes));
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
