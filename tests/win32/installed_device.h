#pragma once
// A device installed as an installation installs it: the OPOS key written through the registry
// view of this program's word size (the 32-bit view for the 32-bit library), and the
// device-name file at its fixed place naming it (a file already there is kept aside and put
// back afterwards).

#include <windows.h>

#include <cstdio>
#include <string>
#include <utility>

#include "tests/win32/word_size.h"

namespace varnel::test {

class InstalledDevice {
 public:
  // `comport` and `baudrate` are the values' texts; a null one is left out.
  InstalledDevice(const wchar_t* comport, const wchar_t* baudrate,
                  std::wstring name = L"KitControlClientPole")
      : name_(std::move(name)) {
    key_path_ = std::wstring(L"SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay\\") + name_;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_path_.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kInstallerView,
                        nullptr, &key, nullptr) == ERROR_SUCCESS) {
      for (const auto& [value, text] : {std::pair{L"Comport", comport}, std::pair{L"Baudrate", baudrate}}) {
        if (text == nullptr) continue;
        const std::size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);  // the terminator included
        RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), static_cast<DWORD>(bytes));
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

 private:
  static constexpr const wchar_t* kFolder = L"C:\\Program Files (x86)\\OPOSLD_SETUP";
  static constexpr const wchar_t* kFile = L"C:\\Program Files (x86)\\OPOSLD_SETUP\\DeviceName.txt";
  static constexpr const wchar_t* kKeptFile = L"C:\\Program Files (x86)\\OPOSLD_SETUP\\DeviceName.txt.kept";
  std::wstring name_;
  std::wstring key_path_;
  bool kept_ = false;
};

}  // namespace varnel::test
